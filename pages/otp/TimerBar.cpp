#include "pages/otp/TimerBar.h"

#include "ui/SurfacePainter.h"

#include <QAccessibleWidget>
#include <algorithm>

namespace {

// The seconds the countdown still shows, 0 when it is not running.
int secondsLeft(const CTimerBar& bar) {
    return bar.range() == 0 ? 0 : std::max(bar.position(), 0);
}

// The countdown as a screen reader reads it: a read-only progress bar from 0 to the code's
// interval whose value is the seconds left, also spelt out as text.
class CTimerBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit CTimerBarAccessible(CTimerBar* bar) : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

    QString text(QAccessible::Text t) const override {
        switch (t) {
        case QAccessible::Name:
            return widget()->accessibleName().isEmpty() ? QStringLiteral("Time left")
                                                        : widget()->accessibleName();
        case QAccessible::Value:
        case QAccessible::Description: {
            if (bar().range() == 0)
                return QString();
            const int seconds = secondsLeft(bar());
            return seconds == 1 ? QStringLiteral("1 second left")
                                : QStringLiteral("%1 seconds left").arg(seconds);
        }
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QVariant currentValue() const override { return secondsLeft(bar()); }
    void setCurrentValue(const QVariant&) override {} // the clock sets it, nobody else
    QVariant maximumValue() const override { return std::max(bar().range(), 0); }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    const CTimerBar& bar() const { return static_cast<const CTimerBar&>(*widget()); }
};

QAccessibleInterface* accessibleBar(const QString& className, QObject* object) {
    if (className == QLatin1String(CTimerBar::staticMetaObject.className()) && object->isWidgetType())
        return new CTimerBarAccessible(static_cast<CTimerBar*>(object));
    return nullptr;
}

void announceSecondsLeft(CTimerBar* bar) {
    if (!QAccessible::isActive())
        return;
    QAccessibleValueChangeEvent event(bar, secondsLeft(*bar));
    QAccessible::updateAccessibility(&event);
}

} // namespace

CTimerBar::CTimerBar(QWidget* parent, const QRect& rect)
    : QWidget(parent), m_track(scaledNinePatch(Track, 3, 3, 3, 3, false, false)) {
    static const bool accessible = (QAccessible::installFactory(accessibleBar), true);
    Q_UNUSED(accessible);
    setAttribute(Qt::WA_OpaquePaintEvent);
    const std::shared_ptr<C9Image>& track = m_track.forScale(surfaceScaleOf(*this));
    const int h = track->IsValid() ? track->logicalHeight() : rect.height();
    setGeometry(rect.x(), rect.y(), rect.width(), h);
    show();
}

void CTimerBar::setRange(int max) {
    m_range = max;
    update();
    announceSecondsLeft(this);
}

void CTimerBar::setPos(int pos, bool) {
    m_position = pos;
    repaint();
    announceSecondsLeft(this);
}

int CTimerBar::redWidth(int range, int position, int width) {
    if (range == 0)
        return 0;
    // 64-bit: a long interval times a wide bar must not overflow.
    return int(std::int64_t(range - position) * width / range);
}

void CTimerBar::PaintTo(Surface& dc) {
    // The track has soft edges: the page shows through them.
    DrawParentBackground(dc);
    const CRect client{0, 0, width(), height()};
    m_track.forScale(dc.scale())->Draw(dc, client);
    if (m_range != 0)
        dc.fillRect({0, 0, redWidth(m_range, m_position, client.width()), client.bottom}, rgb(255, 0, 0));
}

void CTimerBar::paintEvent(QPaintEvent*) {
    paintThroughSurface(*this, [this](Surface& dc) { PaintTo(dc); });
}
