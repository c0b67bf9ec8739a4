#pragma once

#include "controls/BackgroundPainter.h"
#include "ui/TransparentBar.h"
#include "ui/DialogBuilder.h"
#include "ui/DialogResize.h"
#include "ui/FixDPIDialog.h"

#include <QPointer>
#include <QWidget>

class CPageNavigator;
class CPngButton;
class QKeyEvent;

// Home, Back and Forward for the page that hosts it, drawn over the page's own background.
// Made from template 222 on the page's placeholder 1017; the buttons stay right-aligned.
class CNavigationBar : public QWidget,
                       public CTransparentBar<CNavigationBar>,
                       public CBackgroundPainter,
                       public CommandTarget {
    Q_OBJECT

public:
    static constexpr int IDD = 222;
    static constexpr int IDC_HOME = 1001;
    static constexpr int IDC_BACK = 1013;
    static constexpr int IDC_FORWARD = 1014;
    enum Button { Back = 0, Forward = 1, Home = 2 };

    explicit CNavigationBar(QWidget* page);

    void SetNavigator(CPageNavigator* navigator) { m_navigator = navigator; }
    // Home, Back and Forward enabled as the navigator allows.
    void UpdateButtons();
    // `which`: 0 Back, 1 Forward, 2 Home; other values do nothing.
    void EnableButton(int which, bool enable);

    CPngButton* button(Button which) const;
    // Places the bar and lays its buttons out for the new width at once.
    void place(const QRect& rect);
    bool EraseBackground(Surface& dc) override { return DrawParentBackground(dc); }
    void onCommand(int id, int notifyCode) override;
    // Alt+Left, Alt+Right and Alt+Home press Back, Forward and Home while they are enabled. True
    // when `key` is one of them, enabled or not.
    bool pressShortcut(const QKeyEvent& key);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CFixDPIDialog<CNavigationBar> m_fixDpi;
    CDialogResize m_resize;
    CPageNavigator* m_navigator = nullptr;
    QPointer<CPngButton> m_home;
    QPointer<CPngButton> m_back;
    QPointer<CPngButton> m_forward;
};
