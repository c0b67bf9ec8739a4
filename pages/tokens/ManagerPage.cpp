#include "pages/tokens/ManagerPage.h"

#include "resources/StringTable.h"
#include "ui/IconResource.h"
#include "ui/LabelEditListView.h"
#include "ui/MessageBox.h"
#include "ui/SaveFailure.h"
#include "store/ValdorixTokenDB.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

QString fromU16(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

// Column headings and widths in pixels.
struct Column {
    int heading;
    int width;
};
constexpr Column kColumns[] = {
    {resources::ids::IDS_LABEL, 100},
    {resources::ids::IDS_APPLICATION, 100},
    {resources::ids::IDS_SERIAL, 80},
};

} // namespace

QWidget* CManagerPage::createControl(const resources::DialogItem& item, QWidget* parent) {
    if (item.id != IDC_LIST)
        return nullptr;
    m_list = new CLabelEditListView(parent, item.style);
    return m_list;
}

void CManagerPage::OnInitDialog() {
    m_fixDpi.Init(this, IDD, 96.0);
    // The filter box takes the top of the list's place; the page decoration frames it as it
    // frames every edit box.
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("id%1").arg(IDC_FILTER));
    m_filter->setFrame(false);
    m_filter->setPlaceholderText(resourceString(resources::ids::IDS_FILTER_TOKENS));
    m_filter->setClearButtonEnabled(true);
    m_filter->setProperty("controlId", IDC_FILTER);
    m_filter->setGeometry(m_fixDpi.toPixels(10, 9, 152, 14));
    m_list->setGeometry(m_fixDpi.toPixels(10, 27, 152, 45));
    QWidget::setTabOrder(m_filter, m_list);
    connect(m_filter, &QLineEdit::textChanged, this, [this] { fill(); });
    DlgResize_Init({{IDC_FILTER, CDialogResize::SizeX},
                    {IDC_LIST, CDialogResize::SizeX | CDialogResize::SizeY},
                    {IDC_DELETE, CDialogResize::MoveX},
                    {IDC_EDIT, CDialogResize::MoveX},
                    {IDC_DEFAULT, CDialogResize::MoveX},
                    {IDC_NAVIGATION_BAR, CDialogResize::SizeX | CDialogResize::MoveY}});

    m_images[ImageToken] = loadIconResource(IconToken);
    m_images[ImageDefault] = loadIconResource(IconDefault);

    QStringList headings;
    for (const Column& column : kColumns)
        headings.append(resourceString(column.heading));
    m_list->setColumnCount(int(headings.size()));
    m_list->setHeaderLabels(headings);
    for (int i = 0; i < int(std::size(kColumns)); ++i)
        m_list->header()->resizeSection(i, kColumns[i].width);

    m_list->setEndLabelEditHandler(
        [this](int row, const QString& text) { return onEndLabelEdit(row, text); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { onDoubleClick(m_list->indexOfTopLevelItem(item)); });
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &CManagerPage::updateButtons);
}

void CManagerPage::updateButtons() {
    const bool selected = m_list->firstSelectedRow() >= 0;
    for (int id : {IDC_DEFAULT, IDC_EDIT, IDC_DELETE}) {
        if (QWidget* button = item(id))
            button->setEnabled(selected);
    }
}

bool CManagerPage::PreTranslateMessage(QObject* receiver, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !m_list)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    // Esc inside the label box cancels the edit; it must not reach the main window, where it
    // would close the program.
    if (key->key() == Qt::Key_Escape && m_list->isEditingLabel()) {
        m_list->cancelLabelEdit();
        return true;
    }
    if (receiver == m_list && key->key() == Qt::Key_A && (key->modifiers() & Qt::ControlModifier)) {
        m_list->selectAll();
        return true;
    }
    if (receiver == m_list && key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier &&
        !m_list->isEditingLabel()) {
        deleteSelected(NamedQuestion);
        return true;
    }
    return false;
}

void CManagerPage::OnShow(const PageArgs&) {
    m_list->cancelLabelEdit();
    fill();
}

bool CManagerPage::passesFilter(const COtpToken& token, const QString& filter) {
    if (filter.isEmpty())
        return true;
    for (const std::u16string* text : {&token.label, &token.application, &token.serial}) {
        if (QString::fromStdU16String(*text).contains(filter, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void CManagerPage::fill() {
    m_list->cancelLabelEdit();
    m_list->clear();
    CValdorixTokenDB& store = tokenStore();
    const std::shared_ptr<COtpToken> defaultToken = store.defaultToken();
    const QString filter = m_filter->text().trimmed();
    // Made first and put in with one call: the view lays out once, however many tokens.
    QList<QTreeWidgetItem*> rows;
    rows.reserve(qsizetype(store.tokens.size()));
    for (std::size_t i = 0; i < store.tokens.size(); ++i) {
        const COtpToken& token = *store.tokens[i];
        if (!passesFilter(token, filter))
            continue;
        QTreeWidgetItem* row =
            m_list->makeRow({fromU16(token.label), fromU16(token.application), fromU16(token.serial)});
        row->setData(0, PositionRole, int(i));
        showImage(row, store.tokens[i] == defaultToken ? ImageDefault : ImageToken);
        rows.append(row);
    }
    m_list->addTopLevelItems(rows);
    updateButtons();
}

int CManagerPage::positionOf(int row) const {
    const QTreeWidgetItem* item = m_list->topLevelItem(row);
    return item ? item->data(0, PositionRole).toInt() : -1;
}

void CManagerPage::onCommand(int id, int) {
    // A click on a button ends a rename in progress first, as the box loses the focus.
    m_list->commitLabelEdit();
    switch (id) {
    case IDC_DEFAULT:
        makeDefault();
        return;
    case IDC_EDIT:
        editLabel();
        return;
    case IDC_DELETE:
        deleteSelected(PlainQuestion);
        return;
    default:
        return;
    }
}

int CManagerPage::rowImage(int row) const {
    const QTreeWidgetItem* item = m_list ? m_list->topLevelItem(row) : nullptr;
    return item ? item->data(0, ImageRole).toInt() : -1;
}

void CManagerPage::setRowImage(int row, int image) {
    if (QTreeWidgetItem* item = m_list->topLevelItem(row))
        showImage(item, image);
}

void CManagerPage::showImage(QTreeWidgetItem* row, int image) {
    row->setData(0, ImageRole, image);
    row->setIcon(0, m_images[std::size_t(image)]);
}

void CManagerPage::setTitle(const QString& text) {
    if (m_navigator)
        m_navigator->SetTitle(text);
}

void CManagerPage::makeDefault() {
    const int row = m_list->firstSelectedRow();
    if (row < 0)
        return;
    CValdorixTokenDB& store = tokenStore();
    makeCurrentAndSave(this, store, positionOf(row));
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        setRowImage(i, ImageToken);
    setRowImage(row, ImageDefault);
    if (const auto token = store.defaultToken())
        setTitle(fromU16(token->displayName()));
}

void CManagerPage::editLabel() {
    const int row = m_list->firstSelectedRow();
    if (row < 0)
        return;
    m_list->setFocus();
    m_list->editLabel(row);
}

bool CManagerPage::onEndLabelEdit(int row, const QString& text) {
    // A blank label would leave a blank entry in the token menu: the old label stays.
    if (text.trimmed().isEmpty())
        return false;
    CValdorixTokenDB& store = tokenStore();
    if (const auto token = store.tokenAt(positionOf(row)))
        token->label = text.toStdU16String();
    saveOrReport(this, store);
    if (const auto token = store.defaultToken())
        setTitle(fromU16(token->displayName()));
    return true;
}

void CManagerPage::onDoubleClick(int row) {
    if (row < 0)
        return;
    makeCurrentAndSave(this, tokenStore(), positionOf(row));
    if (m_navigator)
        m_navigator->Navigate(pageid::Otp);
}

QString CManagerPage::deleteQuestion(Question question, const std::vector<int>& positions) const {
    using namespace resources::ids;
    if (question == PlainQuestion)
        return resourceString(IDS_CONFIRM_DELETE);
    if (positions.size() == 1) {
        const auto token = tokenStore().tokenAt(positions.front());
        return resourceString(IDS_CONFIRM_DELETE_ONE).arg(token ? fromU16(token->displayName()) : QString());
    }
    return resourceString(IDS_CONFIRM_DELETE_MANY).arg(positions.size());
}

void CManagerPage::deleteSelected(Question question) {
    const std::vector<int> rows = m_list->selectedRows();
    if (rows.empty())
        return;
    std::vector<int> positions;
    positions.reserve(rows.size());
    for (int row : rows)
        positions.push_back(positionOf(row));
    if (MessageBox::show(this, deleteQuestion(question, positions), MessageBox::Question, MessageBox::YesNo) !=
        MessageBox::IDYES)
        return;

    // One pass over the list and one new view, however many rows go.
    CValdorixTokenDB& store = tokenStore();
    store.deleteTokens(positions);
    saveOrReport(this, store);

    // The store clamps its default index to the new end.
    const std::shared_ptr<COtpToken> defaultToken = store.defaultToken();
    fill();
    setTitle(defaultToken ? fromU16(defaultToken->displayName()) : QString());
}
