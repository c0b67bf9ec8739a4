#include "pages/otp/SelectTokenWindow.h"

#include "ui/KeyRules.h"
#include "ui/Page.h"
#include "ui/SaveFailure.h"
#include "store/ValdorixTokenDB.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QScreen>
#include <QScrollBar>

namespace {

constexpr int ListGap = 2;

bool isKey(QEvent* event, std::initializer_list<int> keys) {
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// A copy of a key press for another widget: the event object cannot be sent twice.
void forwardKey(QWidget* target, QEvent* event) {
    const auto* key = static_cast<QKeyEvent*>(event);
    QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text(), key->isAutoRepeat(), key->count());
    QCoreApplication::sendEvent(target, &copy);
}

} // namespace

CSelectTokenWindow::CSelectTokenWindow(QWidget* owner, CValdorixTokenDB& store, int filterHeight)
    : QFrame(owner, Qt::Popup), m_owner(owner), m_store(store), m_filterHeight(filterHeight) {
    setObjectName(QStringLiteral("selectTokenWindow"));
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    // The message-box font, as the system's non-client metrics name it.
    setFont(QApplication::font("QMessageBox"));

    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("id%1").arg(IDC_FILTER));
    m_filter->setFont(font());
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("id%1").arg(IDC_LIST));
    m_list->setFont(font());
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setUniformItemSizes(true);

    connect(m_filter, &QLineEdit::textChanged, this, [this](const QString& text) {
        fill(text);
        m_list->setCurrentRow(0);
    });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { choose(); });
    m_filter->installEventFilter(this);
    m_list->installEventFilter(this);

    resize(Width, Height);
    m_filter->setFocus();
}

bool CSelectTokenWindow::matches(const QString& text, const QString& filter) {
    if (filter.isEmpty())
        return true;
    const QLocale locale;
    const QString t = locale.toLower(text);
    const QStringList words = locale.toLower(filter).split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return true;
    if (words.size() == 1)
        return t.contains(words.front());
    const QStringList parts = t.split(u' ', Qt::KeepEmptyParts);
    if (parts.size() < words.size())
        return false;
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (!parts[i].contains(words[i]))
            return false;
    }
    return true;
}

void CSelectTokenWindow::fill(const QString& filter) {
    m_list->clear();
    const auto& tokens = m_store.tokens;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const QString name = QString::fromStdU16String(tokens[i]->tokenName);
        if (!matches(name, filter))
            continue;
        // Not QListWidgetItem(text, list): that constructor searches the list for every item.
        auto* item = new QListWidgetItem(name);
        item->setData(Qt::UserRole, int(i));
        m_list->addItem(item);
    }
}

void CSelectTokenWindow::reset() {
    {
        // Emptying the box below fills the list itself; done here once, whatever the box held.
        const QSignalBlocker quiet(m_filter);
        m_filter->clear();
    }
    fill(QString());
    m_list->setCurrentRow(0);
    m_filter->setFocus();
}

void CSelectTokenWindow::open(const QPoint& screenPos) {
    if (!isVisible())
        reset();
    setGeometry(screenPos.x(), screenPos.y(), Width, Height);
    show();
    fitHeight();
    keepOnScreen(screenPos);
    m_filter->setFocus();
}

void CSelectTokenWindow::keepOnScreen(const QPoint& screenPos) {
    QScreen* screen = QGuiApplication::screenAt(screenPos);
    if (!screen && m_owner)
        screen = m_owner->screen();
    if (!screen)
        return;
    // Near the right or bottom edge the picker moves in; where it does not fit at all, its
    // top-left corner stays visible.
    const QRect area = screen->availableGeometry();
    const int x = std::max(area.left(), std::min(screenPos.x(), area.right() + 1 - width()));
    const int y = std::max(area.top(), std::min(screenPos.y(), area.bottom() + 1 - height()));
    move(x, y);
}

void CSelectTokenWindow::fitHeight() {
    // The list shows whole rows only, as a list box of integral height does; the picker then
    // ends just below it.
    const int frame = 2 * m_list->frameWidth();
    const int row =
        std::max(1, m_list->count() > 0 ? m_list->sizeHintForRow(0) : m_list->fontMetrics().height());
    const int available = Height - 2 * lineWidth() - m_filterHeight - ListGap - frame;
    const int listHeight = std::max(0, available / row) * row + frame;
    resize(width(), m_filterHeight + listHeight + 2 * lineWidth() + ListGap);
}

void CSelectTokenWindow::layoutChildren() {
    const QRect client = contentsRect();
    m_filter->setGeometry(client.left(), client.top(), client.width(), m_filterHeight);
    const int listTop = client.top() + m_filterHeight + ListGap;
    m_list->setGeometry(client.left(), listTop, client.width(), std::max(0, client.bottom() + 1 - listTop));
}

void CSelectTokenWindow::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    layoutChildren();
}


void CSelectTokenWindow::choose() {
    if (m_list->count() == 0)
        return;
    const QListWidgetItem* item = m_list->currentItem();
    // A list box without a selection would hand back an error index, which the store would
    // take for the last token: choose nothing instead.
    if (!item)
        return;
    makeCurrentAndSave(m_owner ? m_owner : this, m_store, item->data(Qt::UserRole).toInt());
    if (m_owner)
        QCoreApplication::postEvent(m_owner, new QEvent(WM_TOKENCHANGED));
    hide();
}

bool CSelectTokenWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate)
        hide();
    return QFrame::event(event);
}

bool CSelectTokenWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_filter) {
        if (event->type() == QEvent::KeyPress && isAltCharacter(*static_cast<QKeyEvent*>(event)))
            return true;
        if (isKey(event, {Qt::Key_Tab, Qt::Key_Return, Qt::Key_Enter})) {
            choose();
            return true;
        }
        if (isKey(event, {Qt::Key_Escape})) {
            hide();
            return true;
        }
        if (isKey(event, {Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Up, Qt::Key_Down})) {
            forwardKey(m_list, event);
            return true;
        }
        if (event->type() == QEvent::Wheel) {
            QCoreApplication::sendEvent(m_list->verticalScrollBar(), event);
            return true;
        }
    } else if (watched == m_list) {
        if (isKey(event, {Qt::Key_Backspace, Qt::Key_Left, Qt::Key_Right, Qt::Key_Delete})) {
            forwardKey(m_filter, event);
            return true;
        }
        if (isKey(event, {Qt::Key_Tab, Qt::Key_Return, Qt::Key_Enter})) {
            choose();
            return true;
        }
        if (isKey(event, {Qt::Key_Escape})) {
            hide();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}
