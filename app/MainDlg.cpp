#include "app/MainDlg.h"

#include "controls/ScaledPicture.h"
#include "ui/SecretClipboard.h"
#include "resources/Menu.h"
#include "resources/StringTable.h"
#include "store/FileBytes.h"
#include "ui/IconResource.h"
#include "ui/KeyRules.h"
#include "ui/NavigationBar.h"
#include "ui/PageImpl.h"
#include "ui/PinPageCommon.h"
#include "ui/SaveFailure.h"
#include "ui/SurfacePainter.h"
#include "store/ValdorixTokenDB.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <future>

using namespace resources::ids;

namespace {

// Deferred navigation: a copy of the arguments travels with the event, so the sender's list
// may go at once.
class NavigateEvent : public QEvent {
public:
    NavigateEvent(unsigned id, std::unique_ptr<PageArgs> args)
        : QEvent(WM_NAVIGATE), pageId(id), args(std::move(args)) {}
    unsigned pageId;
    std::unique_ptr<PageArgs> args;
};

const char* const kCommandId = "commandId";

int commandOf(const QAction* action) {
    return action->property(kCommandId).toInt();
}

QWidget* firstTabStop(QWidget* page) {
    for (QWidget* w = page->nextInFocusChain(); w && w != page; w = w->nextInFocusChain()) {
        if (page->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() &&
            w->isVisibleTo(page))
            return w;
    }
    return nullptr;
}

} // namespace

CMainDlg::CMainDlg(CValdorixTokenDB& store) : m_store(store) {
    setObjectName(QStringLiteral("mainWindow"));
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);
}

CMainDlg::~CMainDlg() {
    finishSlide();
    if (m_filterInstalled)
        qApp->removeEventFilter(this);
    // The page objects own their windows; take them out of the client before it goes.
    for (const auto& page : m_pages) {
        if (QWidget* window = page->GetHWND()) {
            window->hide();
            window->setParent(nullptr);
        }
    }
    m_pages.clear();
}

bool CMainDlg::Create(const PageSetFactory& makePages) {
    // What the first page (log-in or set-PIN) is drawn from, decoded on a worker while the fonts
    // load below: its background, the action button (twice: the greyed face is a copy of it) and
    // the frames of its edit boxes and panel, in the order the page asks for them.
    static constexpr int firstPagePictures[] = {picture::PageBackground, picture::ActionNormal,
                                                picture::EditFrame, picture::Panel, picture::ActionNormal};
    CxImage::Prefetch(firstPagePictures, pictureScaleFor(surfaceScaleOf(*this)));
    // Every size of the window's icon, decoded beside the rest; taken before the window shows.
    std::future<QList<QImage>> iconImages = std::async(std::launch::async, [] { return loadIconImages(128); });
    const auto takeIcon = [this, &iconImages] {
        const QIcon icon = iconFromImages(iconImages.get());
        if (!icon.isNull())
            setWindowIcon(icon);
    };
    if (!m_fixDpi.Init(this, IDD, 96.0)) {
        takeIcon();
        return false;
    }
    buildMenu();
    // The client area takes the template size until the first page decides it.
    const QSize client = m_fixDpi.templateSize();
    m_client->setFixedSize(client);
    setFixedSize(client.width(), client.height() + menuBar()->sizeHint().height());
    centreOnWorkArea();


    qApp->installEventFilter(this);
    m_filterInstalled = true;
    SetTitle(QString());

    m_pages = makePages();
    for (const auto& page : m_pages)
        page->SetStore(m_store);

    CValdorixTokenDB& store = m_store;
    if (store.exists()) {
        // No PIN yet: this reads only the header; the log-in page loads again with the PIN.
        store.load();
        Navigate(pageid::Login);
    } else {
        Navigate(pageid::SetPin);
        // A link to a database that is gone (an unmounted disk, a moved folder) is no first
        // start; its saves fail until the file is back or the link removed.
        const std::string path = store.databasePath({});
        if (const auto target = missingLinkTarget(path))
            reportDatabaseLinkBroken(this, path, *target);
    }
    takeIcon();
    return true;
}

void CMainDlg::buildMenu() {
    const resources::MenuResource* resource = resources::findMenu(IDM_MAIN);
    if (!resource)
        return;
    const auto fill = [this](auto& self, QMenu* menu, std::span<const resources::MenuItem> items) -> void {
        for (const resources::MenuItem& item : items) {
            const QString text = QString::fromStdU16String(std::u16string(item.text));
            switch (item.kind) {
            case resources::MenuItem::Kind::Separator:
                menu->addSeparator();
                break;
            case resources::MenuItem::Kind::Popup: {
                QMenu* popup = menu->addMenu(text);
                m_menus.push_back(popup);
                connect(popup, &QMenu::aboutToShow, this, [this, popup] { prepareMenu(popup); });
                self(self, popup, item.children);
                break;
            }
            case resources::MenuItem::Kind::Command: {
                const qsizetype tab = text.indexOf(QLatin1Char('\t'));
                QAction* action = menu->addAction(text.left(tab));
                if (tab >= 0)
                    action->setShortcut(QKeySequence(text.mid(tab + 1)));
                const int id = item.id;
                action->setProperty(kCommandId, id);
                connect(action, &QAction::triggered, this, [this, id] { onCommand(id); });
                break;
            }
            }
        }
    };
    for (const resources::MenuItem& top : resource->items) {
        QMenu* popup = menuBar()->addMenu(QString::fromStdU16String(std::u16string(top.text)));
        m_menus.push_back(popup);
        connect(popup, &QMenu::aboutToShow, this, [this, popup] { prepareMenu(popup); });
        fill(fill, popup, top.children);
    }
}

QMenu* CMainDlg::menu(const QString& title) const {
    for (QMenu* m : m_menus) {
        if (m->title() == title)
            return m;
    }
    return nullptr;
}

void CMainDlg::prepareMenu(QMenu* menu) {
    const QList<QAction*> actions = menu->actions();
    if (actions.isEmpty())
        return;
    CValdorixTokenDB& store = m_store;
    const std::shared_ptr<COtpToken> current = store.defaultToken();
    const int first = commandOf(actions.first());

    if (!store.isUnlocked()) {
        // Everything of the token menu but "&Exit" waits for a PIN.
        if (first == ID_OTP) {
            for (qsizetype i = 0; i + 1 < actions.size(); ++i)
                actions[i]->setEnabled(false);
        }
        return;
    }

    if (first == ID_OTP) {
        for (QAction* action : actions)
            action->setEnabled(true);
        for (QAction* action : actions) {
            if (commandEnabled(commandOf(action)) == CommandEnabled::WithToken)
                action->setEnabled(current != nullptr);
        }
    } else if (first == ID_MANAGE_TOKENS) {
        for (qsizetype i = actions.size() - 1; i >= 2; --i) {
            menu->removeAction(actions[i]);
            delete actions[i];
        }
        const auto& tokens = store.tokens;
        const std::vector<int> shown = tokenMenuPositions(menu, tokens.size(), store.defaultIndex);
        for (int position : shown) {
            const std::size_t i = std::size_t(position);
            // A '&' in a label is shown, not taken as a mnemonic.
            QString label = QString::fromStdU16String(tokens[i]->label);
            label.replace(QLatin1Char('&'), QStringLiteral("&&"));
            QAction* action = menu->addAction(label);
            action->setProperty(kCommandId, TokenCommandFirst + position);
            action->setCheckable(true);
            action->setChecked(tokens[i] == current);
            connect(action, &QAction::triggered, this, [this, position] { chooseToken(position); });
        }
        if (shown.size() < tokens.size()) {
            QAction* more = menu->addAction(resourceString(IDS_MORE_TOKENS));
            more->setProperty(kCommandId, ID_MORE_TOKENS);
            connect(more, &QAction::triggered, this, [this] { onCommand(ID_MORE_TOKENS); });
        }
    }
}

std::vector<int> CMainDlg::tokenMenuPositions(QMenu* menu, std::size_t count, int defaultIndex) {
    // As many rows as one column of the screen holds, less the two above and "More Tokens...".
    const QList<QAction*> actions = menu->actions();
    const int row = std::max(1, actions.isEmpty() ? menu->fontMetrics().height()
                                                  : menu->actionGeometry(actions.first()).height());
    QScreen* screen = menu->screen() ? menu->screen() : QGuiApplication::primaryScreen();
    const int height = screen ? screen->availableGeometry().height() : 480;
    const std::size_t fit = std::size_t(std::max(1, height / row - 4));
    std::vector<int> positions;
    if (count <= fit + 1) {
        // Room for every token in place of "More Tokens...".
        for (std::size_t i = 0; i < count; ++i)
            positions.push_back(int(i));
        return positions;
    }
    for (std::size_t i = 0; i < fit; ++i)
        positions.push_back(int(i));
    // The current token is always among them: in the last place, when it lies further on.
    const std::size_t current = std::min(std::size_t(std::max(0, defaultIndex)), count - 1);
    if (current >= fit)
        positions.back() = int(current);
    return positions;
}

void CMainDlg::chooseToken(int position) {
    CValdorixTokenDB& store = m_store;
    if (position < 0 || std::size_t(position) >= store.tokens.size())
        return;
    makeCurrentAndSave(this, store, position);
    Navigate(pageid::Otp);
}

void CMainDlg::onCommand(int id, int) {
    switch (id) {
    case IDC_CANCEL:
        endDialog(IDC_CANCEL);
        return;
    case ID_EXIT:
        endDialog(ID_EXIT);
        return;
    case ID_LOCK:
        lock();
        return;
    case ID_HELP:
        return; // no help to show
    case ID_MORE_TOKENS:
        ShowPage(pageid::Otp, {pagearg::openPicker()});
        return;
    default:
        break;
    }
    if (const auto page = pageForCommand(id)) {
        Navigate(*page);
        return;
    }
    // The token list of "&Select Token": every position can be chosen, however many there are.
    if (id >= TokenCommandFirst && id < ID_DOWNLOAD_TOKEN)
        chooseToken(id - TokenCommandFirst);
}

void CMainDlg::lock() {
    CValdorixTokenDB& store = m_store;
    if (!store.isUnlocked())
        return;
    // Only a response count can be unsaved here. A failure is not shown: no box may wait over a
    // locked screen, and the count is then lost as it would be at exit.
    [[maybe_unused]] const SaveResult saved = store.save();
    store.lock();
    CCodeClipboard::clearNow();
    while (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    for (const auto& page : m_pages) {
        if (QWidget* window = page->GetHWND()) {
            for (QLineEdit* edit : window->findChildren<QLineEdit*>())
                if (edit->echoMode() != QLineEdit::Normal)
                    edit->clear();
        }
    }
    m_history.clear();
    m_cursor = 0;
    SetTitle(QString());
    Navigate(pageid::Login);
}

void CMainDlg::endDialog(int exitCode) {
    if (m_exitCode != 0)
        return;
    m_exitCode = exitCode;
    hide();
    QCoreApplication::exit(exitCode);
}

void CMainDlg::closeEvent(QCloseEvent* event) {
    endDialog(IDC_CANCEL);
    event->accept();
}

void CMainDlg::centreOnWorkArea() {
    QScreen* screen = QGuiApplication::screenAt(geometry().center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize size = frameGeometry().size();
    int x = area.left() + (area.width() - size.width()) / 2;
    int y = area.top() + (area.height() - size.height()) / 2;
    // Keep it inside the work area; the left and top edges win when it does not fit.
    x = std::max(area.left(), std::min(x, area.right() + 1 - size.width()));
    y = std::max(area.top(), std::min(y, area.bottom() + 1 - size.height()));
    move(x, y);
}

// --- Navigation -------------------------------------------------------------------------------

CPage* CMainDlg::findPage(unsigned id) const {
    for (const auto& page : m_pages) {
        if (page->GetID() == id)
            return page.get();
    }
    return nullptr;
}

void CMainDlg::ShowPage(unsigned id, const PageArgs& args) {
    // The page being left is the one shown last: Back and Forward have already moved the cursor.
    CPage* current = m_shownPageId == 0 ? nullptr : findPage(m_shownPageId);
    CPage* target = findPage(id);
    if (!target)
        return;
    m_shownPageId = id;
    if (!m_replaying) {
        if (!m_history.empty())
            m_history.erase(m_history.begin() + m_cursor + 1, m_history.end());
        if (m_history.empty() || m_history.back() != id)
            m_history.push_back(id);
        m_cursor = int(m_history.size()) - 1;
    }
    target->SetNavigator(this);
    if (current)
        current->OnHide();
    QWidget* window = target->Create(m_client, m_client->rect());
    if (window)
        slideIn(window);
    target->UpdateNavigationBar();
    target->OnShow(args);
}

void CMainDlg::Navigate(unsigned id) {
    ShowPage(id, PageArgs());
}

void CMainDlg::PostNavigate(unsigned id, const PageArgs& args) {
    QCoreApplication::postEvent(this, new NavigateEvent(id, std::make_unique<PageArgs>(args)));
}

unsigned CMainDlg::GetCurrentPageId() const {
    return m_history.empty() ? 0 : m_history[std::size_t(m_cursor)];
}

void CMainDlg::SetTitle(const QString& text) {
    const QString product = resourceString(IDS_WINDOW_TITLE);
    setWindowTitle(text.isEmpty() ? product : product + QStringLiteral(" - ") + text);
}

void CMainDlg::GoBack() {
    --m_cursor;
    m_replaying = true;
    if (m_cursor < 0) {
        m_cursor = 0;
        m_replaying = false;
        return;
    }
    Navigate(m_history[std::size_t(m_cursor)]);
    m_replaying = false;
}

void CMainDlg::GoForward() {
    ++m_cursor;
    m_replaying = true;
    if (m_cursor < int(m_history.size()))
        Navigate(m_history[std::size_t(m_cursor)]);
    else
        m_cursor = int(m_history.size()) - 1;
    m_replaying = false;
}

void CMainDlg::GoHome() {
    Navigate(pageid::Otp);
}

bool CMainDlg::CanNavigate(int what) const {
    switch (what) {
    case 0:
        return m_cursor > 0;
    case 1:
        return m_cursor < int(m_history.size()) - 1;
    case 2:
        return true;
    default:
        return false;
    }
}

void CMainDlg::slideIn(QWidget* page) {
    finishSlide();
    QPointer<QWidget> old = m_topPage;

    // The window always fits the shown page exactly.
    m_client->setFixedSize(page->size());
    setFixedSize(page->width(), page->height() + menuBar()->sizeHint().height());

    page->raise();
    m_topPage = page;
    // The same page again (Home on the home page, a menu item for the page on screen) stays put.
    if (!isVisible() || old == page) {
        // Before the window is on screen there is nothing to slide over: the page appears in place.
        page->move(0, 0);
        page->show();
        if (old && old != page)
            old->hide();
        focusFirstTabStop(page);
        return;
    }
    page->move(-page->width(), 0);
    page->show();

    auto* slide = new QPropertyAnimation(page, "pos", this);
    slide->setDuration(SlideMilliseconds);
    slide->setStartValue(QPoint(-page->width(), 0));
    slide->setEndValue(QPoint(0, 0));
    connect(slide, &QPropertyAnimation::finished, this, [old, page = QPointer<QWidget>(page)] {
        if (page)
            page->move(0, 0);
        if (old && old != page)
            old->hide();
    });
    m_slide = slide;
    slide->start(QAbstractAnimation::DeleteWhenStopped);
    focusFirstTabStop(page);
}

void CMainDlg::focusFirstTabStop(QWidget* page) {
    if (QWidget* focus = firstTabStop(page))
        focus->setFocus(Qt::OtherFocusReason);
    else
        page->setFocus(Qt::OtherFocusReason);
}

void CMainDlg::finishSlide() {
    if (m_slide) {
        // Jumping to the end runs the finished handler, which hides the page it replaced.
        m_slide->setCurrentTime(m_slide->duration());
    }
}

bool CMainDlg::event(QEvent* event) {
    if (event->type() == WM_NAVIGATE) {
        auto* navigate = static_cast<NavigateEvent*>(event);
        if (navigate->args)
            ShowPage(navigate->pageId, *navigate->args);
        else
            Navigate(navigate->pageId);
        return true;
    }
    return QMainWindow::event(event);
}

// --- The message filter ------------------------------------------------------------------------

bool CMainDlg::belongsHere(QObject* object) const {
    return object && object->isWidgetType() && static_cast<QWidget*>(object)->window() == this;
}

bool CMainDlg::eventFilter(QObject* watched, QEvent* event) {
    if (!belongsHere(watched) || m_exitCode != 0)
        return false;
    const bool isKey = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
    if (isKey) {
        // A key event the focus widget ignores travels up to its parents: look at it only once.
        auto* previous = qobject_cast<QWidget*>(m_lastKeyReceiver.data());
        if (event == m_lastKeyEvent && previous && watched != previous && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isAncestorOf(previous))
            return false;
        m_lastKeyEvent = event;
        m_lastKeyReceiver = watched;
    }
    const auto* key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event) : nullptr;
    // Enter on a focused push button presses that button, not the page's action button.
    if (key && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (auto* button = qobject_cast<QPushButton*>(watched)) {
            if (button->isEnabled())
                button->click();
            return true;
        }
    }
    CPage* current = findPage(GetCurrentPageId());
    if (current && current->PreTranslateMessage(watched, event))
        return true;
    if (!key)
        return false;
    if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
        onCommand(IDC_CANCEL);
        return true;
    }
    if (QWidget* page = current ? current->GetHWND() : nullptr) {
        auto* bar = page->findChild<CNavigationBar*>(QString(), Qt::FindDirectChildrenOnly);
        if (bar && bar->pressShortcut(*key))
            return true;
    }
    // A key with Alt that no menu or button took never types into a box: Alt+L must not add
    // an "l" to the PIN.
    return isAltCharacter(*key);
}

// --- Dragging by the client surface ------------------------------------------------------------

void CMainDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QMainWindow::mousePressEvent(event);
        return;
    }
    // The move starts once the pointer has moved: a tap (press and release in place) is no drag,
    // and a window manager that takes over at once would swallow it.
    m_pressAt = event->globalPosition().toPoint();
    m_pressed = true;
    m_dragOffset = m_pressAt - frameGeometry().topLeft();
}

void CMainDlg::mouseMoveEvent(QMouseEvent* event) {
    if (!m_pressed || !(event->buttons() & Qt::LeftButton)) {
        QMainWindow::mouseMoveEvent(event);
        return;
    }
    const QPoint at = event->globalPosition().toPoint();
    if (!m_dragging) {
        if ((at - m_pressAt).manhattanLength() < QApplication::startDragDistance())
            return;
        if (windowHandle() && windowHandle()->startSystemMove()) {
            m_pressed = false;
            return;
        }
        m_dragging = true;
    }
    move(at - m_dragOffset);
}

void CMainDlg::mouseReleaseEvent(QMouseEvent* event) {
    m_dragging = false;
    m_pressed = false;
    QMainWindow::mouseReleaseEvent(event);
}
