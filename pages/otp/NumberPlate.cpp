#include "pages/otp/NumberPlate.h"

#include "ui/SurfacePainter.h"

#include <QAccessibleWidget>

namespace {

// The codes as a screen reader reads them: the upper code, and in two-line mode the lower one
// after a comma.
QString spokenCodes(const CNumberPlate& plate) {
    QString text = QString::fromStdU16String(plate.topCode());
    if (plate.isDualLine() && !plate.bottomCode().empty())
        text += QStringLiteral(", ") + QString::fromStdU16String(plate.bottomCode());
    return text;
}

// The plate is pictures of digits: its accessible name is the code itself, its value the upper
// code (what Copy puts on the clipboard).
class CNumberPlateAccessible : public QAccessibleWidget {
public:
    explicit CNumberPlateAccessible(CNumberPlate* plate)
        : QAccessibleWidget(plate, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        const auto& plate = static_cast<const CNumberPlate&>(*widget());
        switch (t) {
        case QAccessible::Name: {
            if (!widget()->accessibleName().isEmpty())
                return widget()->accessibleName();
            const QString codes = spokenCodes(plate);
            return codes.isEmpty() ? QStringLiteral("No code") : codes;
        }
        case QAccessible::Value:
            return QString::fromStdU16String(plate.topCode());
        case QAccessible::Description:
            return widget()->accessibleDescription().isEmpty() ? QStringLiteral("One-time password")
                                                               : widget()->accessibleDescription();
        default:
            return QAccessibleWidget::text(t);
        }
    }
};

QAccessibleInterface* accessiblePlate(const QString& className, QObject* object) {
    if (className == QLatin1String(CNumberPlate::staticMetaObject.className()) && object->isWidgetType())
        return new CNumberPlateAccessible(static_cast<CNumberPlate*>(object));
    return nullptr;
}

void announceCodes(CNumberPlate* plate) {
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(plate, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

} // namespace

CNumberPlate::CNumberPlate(QWidget* parent, const QRect& rect)
    : QWidget(parent), m_strip(scaledPicture(resources::ResourceType::Bitmap, DigitStrip)) {
    static const bool accessible = (QAccessible::installFactory(accessiblePlate), true);
    Q_UNUSED(accessible);
    // Every pixel comes from the strip: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    const std::shared_ptr<CxImage>& strip = m_strip.forScale(surfaceScaleOf(*this));
    m_cellCount = (strip && strip->logicalHeight() >= CellHeight) ? strip->logicalWidth() / CellWidth : 0;
    setGeometry(rect.x(), rect.y(), rect.width(), CellHeight);
    show();
}

void CNumberPlate::setCodes(const std::u16string& top, const std::u16string& bottom) {
    m_top = top;
    m_bottom = bottom;
    repaint();
    announceCodes(this);
}

void CNumberPlate::setDualLine(bool on) {
    if (on == m_dual)
        return;
    m_dual = on;
    const QRect r = geometry();
    const int c = (r.top() + r.bottom() + 1) / 2; // bottom exclusive, as window rectangles are
    if (on)
        setGeometry(r.left(), c - CellHeight, r.width(), 2 * CellHeight);
    else
        setGeometry(r.left(), c - 12, r.width(), CellHeight);
    if (QWidget* parent = parentWidget())
        parent->update(QRect(r.left(), c - CellHeight, r.width(), 2 * CellHeight).adjusted(-2, -2, 2, 2));
    update();
    announceCodes(this);
}

int CNumberPlate::gapFor(int width, int count) {
    return (width - CellWidth * count) / (count + 1);
}

int CNumberPlate::leftFor(int width, int count) {
    return (width - CellWidth * count - gapFor(width, count) * (count - 1)) / 2;
}

void CNumberPlate::eraseBackground(Surface& dc, const CxImage& strip) const {
    const int w = width();
    const int tiles = (w - 1) / CellWidth + 1;
    for (int i = 0; i < tiles; ++i)
        drawCell(dc, strip, BackgroundCell, i * CellWidth, 0);
    if (m_dual) {
        const int y = height() / 2;
        for (int i = 0; i < tiles; ++i)
            drawCell(dc, strip, BackgroundCell, i * CellWidth, y);
    }
}

void CNumberPlate::drawCell(Surface& dc, const CxImage& strip, int cell, int x, int y) const {
    if (cell < 0 || cell >= m_cellCount)
        return;
    // The strip drawn so that only the wanted cell falls inside the clip.
    strip.Draw(dc, x - cell * CellWidth, y, CRect{x, y, x + CellWidth, y + CellHeight});
}

void CNumberPlate::drawLine(Surface& dc, const CxImage& strip, const std::u16string& code, int y, int left,
                            int gap) const {
    for (std::size_t i = 0; i < code.size(); ++i)
        drawCell(dc, strip, int(code[i]) - '0', left + int(i) * (gap + CellWidth), y);
}

void CNumberPlate::PaintTo(Surface& dc) const {
    const std::shared_ptr<CxImage>& strip = m_strip.forScale(dc.scale());
    if (!strip)
        return;
    eraseBackground(dc, *strip);
    const int n = int(m_top.size());
    const int w = width();
    const int gap = gapFor(w, n);
    const int left = leftFor(w, n);
    drawLine(dc, *strip, m_top, 0, left, gap);
    if (m_dual)
        drawLine(dc, *strip, m_bottom, height() / 2, left, gap);
}

void CNumberPlate::paintEvent(QPaintEvent*) {
    // Without a strip the plate shows the window colour.
    paintThroughSurface(
        *this, [this](Surface& dc) { PaintTo(dc); }, palette().color(backgroundRole()));
}
