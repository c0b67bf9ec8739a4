#pragma once

#include "controls/BackgroundPainter.h"
#include "ui/DialogBuilder.h"
#include "ui/DialogResize.h"

#include <QWidget>

// The window side shared by every page: it paints through a Surface at its screen's scale (so
// pictures blend with the same formulas everywhere and stay sharp on dense screens), hands
// commands to onCommand, takes posted commands, and keeps its controls placed by the resize map
// when it grows.
class CPageWidget : public QWidget, public CBackgroundPainter, public CommandTarget {
    Q_OBJECT

public:
    CPageWidget();

    // WM_COMMAND: button clicks (BN_CLICKED) and edit changes (EN_CHANGE).
    void onCommand(int id, int notifyCode) override;
    // PostMessage(WM_COMMAND, id): the command arrives later, in event order.
    void postCommand(int id);

    QWidget* item(int id) const { return dlgItem(this, id); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

    CDialogResize m_resize;
};
