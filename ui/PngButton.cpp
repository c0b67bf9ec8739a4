#include "ui/PngButton.h"

#include "ui/SurfacePainter.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>

namespace {

// What a screen reader is told: a push button named by its caption (set in setText), pressed
// while held down, and pressable through its press action while it is enabled.
class CPngButtonAccessible : public QAccessibleWidget {
public:
    explicit CPngButtonAccessible(CPngButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override {
        // The tooltip only repeats the caption: no description unless one is set.
        if (t == QAccessible::Description)
            return widget()->accessibleDescription();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.pressed = (button()->state() & CPngButton::Pressed) != 0;
        return s;
    }

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (widget()->isEnabled())
            names.prepend(pressAction());
        return names;
    }

    void doAction(const QString& name) override {
        if (name != pressAction()) {
            QAccessibleWidget::doAction(name);
            return;
        }
        // The same command a click sends; the receiver may delete the button.
        if (widget()->isEnabled())
            emit button()->command(button()->controlId());
    }

private:
    CPngButton* button() const { return static_cast<CPngButton*>(widget()); }
};

QAccessibleInterface* accessibleButton(const QString& className, QObject* object) {
    if (className == QLatin1String(CPngButton::staticMetaObject.className()) && object->isWidgetType())
        return new CPngButtonAccessible(static_cast<CPngButton*>(object));
    return nullptr;
}

} // namespace

CPngButton::CPngButton(QWidget* parent, int controlId) : QWidget(parent), m_controlId(controlId) {
    static const bool accessible = (QAccessible::installFactory(accessibleButton), true);
    Q_UNUSED(accessible);
    setMouseTracking(true);
    // The dialog's tab key reaches the button; a click does not focus it, as the press skips the
    // standard button handling.
    setFocusPolicy(Qt::TabFocus);
    // Every pixel is painted from the parent's background and the face: no erase, no flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

CPngButton* CPngButton::replace(QWidget* button, int controlId) {
    auto* png = new CPngButton(button->parentWidget(), controlId);
    png->setObjectName(button->objectName());
    png->setGeometry(button->geometry());
    png->setText(button->property("text").toString());
    png->setEnabled(button->isEnabled());
    png->stackUnder(button);
    QWidget::setTabOrder(button, png);
    png->setVisible(!button->isHidden());
    delete button;
    return png;
}

void CPngButton::setText(const QString& text) {
    m_text = text;
    setAccessibleName(stripMnemonics(text));
}

QString CPngButton::stripMnemonics(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            if (i + 1 < text.size() && text[i + 1] == u'&') {
                out += u'&';
                ++i;
            }
            continue;
        }
        out += text[i];
    }
    return out;
}

bool CPngButton::SetImages(int normal, int hover, int pressed) {
    setToolTip(stripMnemonics(m_text));
    m_normal = scaledPng(normal);
    const std::shared_ptr<CxImage>& face = m_normal.forScale(surfaceScaleOf(*this));
    if (!face) {
        m_normal = {};
        m_hover = {};
        m_pressed = {};
        m_disabled = {};
        return false;
    }
    resize(face->logicalWidth(), face->logicalHeight());
    m_hover = scaledPng(hover);
    m_pressed = scaledPng(pressed);
    // The disabled face is the normal one in grey, made only when a disabled button is drawn.
    m_disabled = CScaledPicture<CxImage>([normal](int scale) {
        std::shared_ptr<CxImage> grey = CxImage::LoadPng(normal, scale);
        if (grey) {
            grey->GrayScale();
            grey->Gamma(2.0);
        }
        return grey;
    });
    update();
    return true;
}

void CPngButton::SetExtendedStyle(unsigned style, unsigned mask) {
    if (mask == 0) {
        m_style = style;
    } else {
        m_style = (m_style & ~mask) | (style & mask);
    }
    update();
}

void CPngButton::setStateFlag(unsigned flag, bool on) {
    const unsigned before = m_state;
    m_state = on ? (m_state | flag) : (m_state & ~flag);
    if (m_state != before) {
        update();
    }
    if (((m_state ^ before) & Pressed) != 0 && QAccessible::isActive()) {
        QAccessible::State changed;
        changed.pressed = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    }
}

void CPngButton::PaintTo(Surface& dc) {
    DrawParentBackground(dc);

    const bool pressed = (m_state & Pressed) != 0;
    const bool hoverMode = (m_style & Hover) != 0;
    const int scale = dc.scale();
    std::shared_ptr<CxImage> face;
    int offset = 0;
    if (!isEnabled()) {
        face = m_disabled.forScale(scale);
    } else if (pressed) {
        face = m_pressed.forScale(scale);
        offset = 1;
    } else if (hoverMode ? (m_state & MouseOver) != 0 : (m_state & Focus) != 0) {
        face = m_hover.forScale(scale);
    } else {
        face = m_normal.forScale(scale);
    }
    if (!face) {
        face = m_normal.forScale(scale);
    }
    if (face) {
        face->Draw(dc, offset, offset);
    }

    if ((m_style & (Border3dSingle | Border3dDouble)) != 0) {
        if (pressed) {
            drawEdge(dc, true);
        } else if (!hoverMode || ((m_state & MouseOver) != 0 && isEnabled())) {
            drawEdge(dc, false);
        }
        if (!hoverMode && (m_state & Focus) != 0 && !m_focusRing) {
            drawFocusRect(dc);
        }
    }
    if (m_focusRing && (m_state & Focus) != 0) {
        drawFocusRing(dc);
    }
}

void CPngButton::drawFocusRing(Surface& dc) const {
    // Two solid pixels in the highlight colour along the edge: the faces are pictures of any
    // colour, and a dotted line inside them is easy to miss.
    const QColor c = palette().color(QPalette::Active, QPalette::Highlight);
    const std::uint32_t colour = rgb(c.red(), c.green(), c.blue());
    const int w = width();
    const int h = height();
    dc.fillRect({0, 0, w, FocusRingWidth}, colour);
    dc.fillRect({0, h - FocusRingWidth, w, h}, colour);
    dc.fillRect({0, 0, FocusRingWidth, h}, colour);
    dc.fillRect({w - FocusRingWidth, 0, w, h}, colour);
}

void CPngButton::drawEdge(Surface& dc, bool sunken) const {
    const QPalette& p = palette();
    const auto colour = [&p](QPalette::ColorRole role) {
        const QColor c = p.color(QPalette::Active, role);
        return rgb(c.red(), c.green(), c.blue());
    };
    const std::uint32_t highlight = colour(QPalette::Light);
    const std::uint32_t light = colour(QPalette::Midlight);
    const std::uint32_t shadow = colour(QPalette::Dark);
    const std::uint32_t darkShadow = colour(QPalette::Shadow);

    // One ring of a 3-D edge: the top and left lines in one colour, bottom and right in another.
    const auto ring = [&dc](CRect r, std::uint32_t topLeft, std::uint32_t bottomRight) {
        dc.fillRect({r.left, r.top, r.right - 1, r.top + 1}, topLeft);
        dc.fillRect({r.left, r.top, r.left + 1, r.bottom - 1}, topLeft);
        dc.fillRect({r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
        dc.fillRect({r.right - 1, r.top, r.right, r.bottom}, bottomRight);
    };
    const CRect outer{0, 0, width(), height()};
    const bool single = (m_style & Border3dSingle) != 0;
    if (sunken) {
        ring(outer, shadow, highlight);
        if (!single) {
            ring(outer.inflated(-1), darkShadow, light);
        }
    } else if (single) {
        ring(outer, highlight, shadow);
    } else {
        ring(outer, light, darkShadow);
        ring(outer.inflated(-1), highlight, shadow);
    }
}

void CPngButton::drawFocusRect(Surface& dc) const {
    // Dotted, by inverting every other pixel, inset by twice the edge width.
    const CRect r = CRect{0, 0, width(), height()}.inflated(-4);
    if (r.isEmpty()) {
        return;
    }
    for (int x = r.left; x < r.right; x += 2) {
        dc.invertPixel(x, r.top);
        dc.invertPixel(x, r.bottom - 1);
    }
    for (int y = r.top + 2; y < r.bottom - 1; y += 2) {
        dc.invertPixel(r.left, y);
        dc.invertPixel(r.right - 1, y);
    }
}

void CPngButton::paintEvent(QPaintEvent*) {
    paintThroughSurface(*this, [this](Surface& dc) { PaintTo(dc); });
}

void CPngButton::press() {
    m_captured = true;
    setStateFlag(Pressed, true);
}

void CPngButton::loseCapture() {
    m_captured = false;
    setStateFlag(Pressed, false);
}

void CPngButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    press();
}

void CPngButton::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    press();
}

void CPngButton::mouseMoveEvent(QMouseEvent* event) {
    if (m_captured) {
        setStateFlag(Pressed, rect().contains(event->position().toPoint()));
    } else if ((m_style & Hover) != 0) {
        setStateFlag(MouseOver, true);
    }
}

void CPngButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (m_captured && (m_state & Pressed) != 0) {
        // The receiver may navigate away and hide or delete this button.
        QPointer<CPngButton> self(this);
        emit command(m_controlId);
        if (!self) {
            return;
        }
    }
    loseCapture();
}

void CPngButton::enterEvent(QEnterEvent* event) {
    if (!m_captured && (m_style & Hover) != 0 && isEnabled()) {
        setStateFlag(MouseOver, true);
    }
    QWidget::enterEvent(event);
}

void CPngButton::leaveEvent(QEvent* event) {
    setStateFlag(MouseOver, false);
    QWidget::leaveEvent(event);
}

void CPngButton::focusInEvent(QFocusEvent* event) {
    // The ring shows where the keyboard is; the focus a page gives its first control on showing
    // is not the user's doing.
    const Qt::FocusReason reason = event->reason();
    m_focusRing =
        reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
    setStateFlag(Focus, true);
    QWidget::focusInEvent(event);
}

void CPngButton::focusOutEvent(QFocusEvent* event) {
    m_focusRing = false;
    setStateFlag(Focus, false);
    QWidget::focusOutEvent(event);
}

void CPngButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CPngButton::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        event->accept();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void CPngButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        // A disabled window loses the mouse: a press in progress ends without a click.
        if (!isEnabled()) {
            loseCapture();
            setStateFlag(MouseOver, false);
        }
        update();
    }
    QWidget::changeEvent(event);
}

bool CPngButton::event(QEvent* event) {
    // A disabled button explains nothing: no tooltip.
    if (event->type() == QEvent::ToolTip && !isEnabled()) {
        event->ignore();
        return true;
    }
    return QWidget::event(event);
}

void CPngButton::hideEvent(QHideEvent* event) {
    loseCapture();
    setStateFlag(MouseOver, false);
    QWidget::hideEvent(event);
}
