#pragma once

#include "ui/TransparentBar.h"
#include "controls/ScaledPicture.h"

#include <QString>
#include <QWidget>
#include <memory>

// A push button drawn from PNG pictures over its parent's background: a normal, a hover and a
// pressed face, and a disabled face made from the normal one. A click is a press inside followed
// by a release inside; it emits command() with the control id, as WM_COMMAND tells the parent.
// The Space key does nothing: pages activate their buttons through Enter only.
class CPngButton : public QWidget, public CTransparentBar<CPngButton> {
    Q_OBJECT

public:
    enum ExtendedStyle : unsigned {
        Hover = 1,          // hover face while the mouse is over; border only then
        Border3dSingle = 2, // thin raised or sunken line
        Border3dDouble = 4, // full raised or sunken edge
    };
    enum StateFlag : unsigned {
        MouseOver = 1,
        Focus = 2,
        Pressed = 4,
    };

    // The width of the ring a button shows while it has the keyboard focus from Tab.
    static constexpr int FocusRingWidth = 2;

    explicit CPngButton(QWidget* parent = nullptr, int controlId = 0);

    // Takes over the place of an existing dialog button: its parent, geometry, object name, text,
    // enabled and visible state, stacking and tab order. The old widget is deleted.
    static CPngButton* replace(QWidget* button, int controlId);

    // Sets the faces from PNG resources and sizes the button to the normal face; false, with no
    // faces at all, when the normal face cannot be loaded. The tooltip repeats the caption. Each
    // face is decoded at the scale of the screen it is first drawn on.
    bool SetImages(int normal, int hover, int pressed);

    unsigned GetExtendedStyle() const { return m_style; }
    // Changes the style bits in `mask` (all bits when `mask` is 0) to those of `style`.
    void SetExtendedStyle(unsigned style, unsigned mask = 0);

    unsigned state() const { return m_state; }
    int controlId() const { return m_controlId; }
    QString text() const { return m_text; }
    void setText(const QString& text);

    // Paints the button into `dc` (the work of WM_PRINTCLIENT); paintEvent uses it too.
    void PaintTo(Surface& dc);

    // The caption as a tooltip shows it: "&" marks dropped, "&&" kept as one "&".
    static QString stripMnemonics(const QString& text);

signals:
    void command(int controlId);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setStateFlag(unsigned flag, bool on);
    void press();
    void loseCapture();
    void drawEdge(Surface& dc, bool sunken) const;
    void drawFocusRect(Surface& dc) const;
    void drawFocusRing(Surface& dc) const;

    int m_controlId = 0;
    QString m_text;
    unsigned m_style = Hover;
    unsigned m_state = 0;
    bool m_captured = false;
    bool m_focusRing = false; // the focus came from the keyboard
    CScaledPicture<CxImage> m_normal;
    CScaledPicture<CxImage> m_hover;
    CScaledPicture<CxImage> m_pressed;
    CScaledPicture<CxImage> m_disabled;
};
