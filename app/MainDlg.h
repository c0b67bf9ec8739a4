#pragma once

#include "ui/DialogBuilder.h"
#include "ui/FixDPIDialog.h"
#include "ui/Page.h"
#include "app/PageSet.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

class QMenu;
class QPropertyAnimation;

// The main window: one page at a time below menu 208, the page history with Home, Back and
// Forward, the command table, and the application-wide event filter that gives the current page
// the first look at every event.
class CMainDlg : public QMainWindow, public CPageNavigator, public CommandTarget {
    Q_OBJECT

public:
    static constexpr int IDD = 129;
    static constexpr int IDC_CANCEL = 2;
    static constexpr int TokenCommandFirst = 3000;
    static constexpr int SlideMilliseconds = 200;

    explicit CMainDlg(CValdorixTokenDB& store);
    ~CMainDlg() override;

    using PageSetFactory = std::function<std::vector<std::shared_ptr<CPage>>()>;

    // The WM_INITDIALOG work: layout, centring, icon, event filter, title, the page set and the
    // first page. False when the window cannot be made. Tests may hand their own page set.
    bool Create(const PageSetFactory& makePages = createPageSet);

    // CPageNavigator
    void ShowPage(unsigned id, const PageArgs& args) override;
    void Navigate(unsigned id) override;
    void PostNavigate(unsigned id, const PageArgs& args) override;
    unsigned GetCurrentPageId() const override;
    void SetTitle(const QString& text) override;
    void GoBack() override;
    void GoForward() override;
    void GoHome() override;
    bool CanNavigate(int what) const override;

    // WM_COMMAND: menu items and command 2 (close box, Esc).
    void onCommand(int id, int notifyCode = 0) override;

    // The page with this id in the page set, or null.
    CPage* findPage(unsigned id) const;
    const std::vector<unsigned>& history() const { return m_history; }
    int cursor() const { return m_cursor; }
    // The code the run loop was asked to end with; 0 while the window is open.
    int exitCode() const { return m_exitCode; }
    // The menus built from menu 208, by their title ("&Token", "&Help", "&Select Token").
    QMenu* menu(const QString& title) const;
    // WM_INITMENUPOPUP: greying and the token list; runs when a popup is about to open.
    void prepareMenu(QMenu* menu);
    // Back to the log-in page as at start-up: history, key, PINs and tokens forgotten, a copied
    // code taken off the clipboard. Nothing while the store is locked.
    void lock();
    // The store positions the token list of `menu` shows: all of them when they fit in one
    // column of the screen, else the first ones with the default token (`defaultIndex`, clamped)
    // always among them; "More Tokens..." then follows.
    static std::vector<int> tokenMenuPositions(QMenu* menu, std::size_t count, int defaultIndex);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void buildMenu();
    void centreOnWorkArea();
    void slideIn(QWidget* page);
    // The keyboard focus on the first tab-stop control, as a dialog gives it.
    void focusFirstTabStop(QWidget* page);
    void finishSlide();
    void chooseToken(int position);
    void endDialog(int exitCode);
    bool belongsHere(QObject* object) const;

    CFixDPIDialog<CMainDlg> m_fixDpi;
    CValdorixTokenDB& m_store;
    QWidget* m_client = nullptr;
    std::vector<std::shared_ptr<CPage>> m_pages;
    std::vector<unsigned> m_history;
    int m_cursor = 0;
    bool m_replaying = false;
    unsigned m_shownPageId = 0; // the page on screen, 0 before the first
    QPointer<QWidget> m_topPage;
    QPointer<QPropertyAnimation> m_slide;
    std::vector<QMenu*> m_menus;
    int m_exitCode = 0;
    bool m_filterInstalled = false;
    // The last key event handed on, to see it once and not again at each parent it reaches.
    const QEvent* m_lastKeyEvent = nullptr;
    QPointer<QObject> m_lastKeyReceiver;
    QPoint m_dragOffset;
    QPoint m_pressAt;
    bool m_pressed = false; // the left button went down on the window's own surface
    bool m_dragging = false;
};
