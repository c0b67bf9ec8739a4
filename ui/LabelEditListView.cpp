#include "ui/LabelEditListView.h"

#include "resources/DialogTemplates.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <algorithm>

// Edits the first column only, and lets the list's owner accept or refuse the committed text.
class CLabelEditListView::LabelDelegate : public QStyledItemDelegate {
public:
    explicit LabelDelegate(CLabelEditListView* list) : QStyledItemDelegate(list), m_list(list) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (!m_list->m_labelEditing || index.column() != 0)
            return nullptr;
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        m_list->m_editor = qobject_cast<QLineEdit*>(editor);
        // A thin line around the box, as a list view's label edit has.
        if (m_list->m_editor)
            m_list->m_editor->setStyleSheet(
                QStringLiteral("QLineEdit { border: 1px solid palette(shadow); }"));
        return editor;
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        auto* box = qobject_cast<QLineEdit*>(editor);
        if (!box)
            return;
        const QString text = box->text();
        if (m_list->m_endLabelEdit && !m_list->m_endLabelEdit(index.row(), text))
            return;
        model->setData(index, text, Qt::EditRole);
    }

private:
    CLabelEditListView* m_list;
};

CLabelEditListView::CLabelEditListView(QWidget* parent, unsigned style) : QTreeWidget(parent) {
    using namespace resources::style;
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode((style & LVS_SINGLESEL) ? QAbstractItemView::SingleSelection
                                             : QAbstractItemView::ExtendedSelection);
    setIconSize(QSize(16, 16));
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setItemDelegate(new LabelDelegate(this));
    m_labelEditing = (style & LVS_EDITLABELS) != 0;
    // Renaming starts with F2 or the page's Edit button, never with a click: a click on one of
    // several selected rows must select just that row, or Delete would take the others too.
    setEditTriggers(m_labelEditing ? QAbstractItemView::EditKeyPressed : QAbstractItemView::NoEditTriggers);
}

void CLabelEditListView::setLabelEditing(bool on) {
    if (!on) {
        cancelLabelEdit();
        setEditTriggers(QAbstractItemView::NoEditTriggers);
    }
    m_labelEditing = on;
}

QTreeWidgetItem* CLabelEditListView::makeRow(const QStringList& texts) const {
    auto* row = new QTreeWidgetItem(texts);
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (m_labelEditing)
        flags |= Qt::ItemIsEditable;
    row->setFlags(flags);
    return row;
}

QTreeWidgetItem* CLabelEditListView::appendRow(const QStringList& texts) {
    QTreeWidgetItem* row = makeRow(texts);
    addTopLevelItem(row);
    return row;
}

std::vector<int> CLabelEditListView::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int CLabelEditListView::firstSelectedRow() const {
    for (int row = 0; row < topLevelItemCount(); ++row) {
        if (topLevelItem(row)->isSelected())
            return row;
    }
    return -1;
}

bool CLabelEditListView::editLabel(int row) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (!m_labelEditing || !item)
        return false;
    setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
    scrollToItem(item);
    editItem(item, 0);
    return isEditingLabel();
}

void CLabelEditListView::cancelLabelEdit() {
    if (m_editor)
        closeEditor(m_editor, QAbstractItemDelegate::RevertModelCache);
}

void CLabelEditListView::commitLabelEdit() {
    if (!m_editor)
        return;
    QWidget* editor = m_editor;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::SubmitModelCache);
}

void CLabelEditListView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (editor == m_editor)
        m_editor = nullptr;
    // Tab in the box would open the next row's box: a list view ends the edit there.
    if (hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem)
        hint = QAbstractItemDelegate::NoHint;
    QTreeWidget::closeEditor(editor, hint);
}
