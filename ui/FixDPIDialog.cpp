#include "ui/FixDPIDialog.h"

#include "ui/DialogBuilder.h"

#include <QFontMetricsF>
#include <cmath>

using namespace resources;

QFont CFixDPIDialogBase::templateFont(const DialogTemplate& tmpl, double dpi) {
    installDialogFonts();
    QString face = QStringLiteral("Tahoma");
    int points = 8;
    int weight = 400;
    bool italic = false;
    if (tmpl.hasSetFont()) {
        face = QString::fromStdU16String(std::u16string(tmpl.fontFace));
        points = tmpl.pointSize;
        weight = tmpl.weight;
        italic = tmpl.italic;
    }
    if (points < 0 || points > 32767)
        points = std::int16_t(-points);
    // The height a dialog asks of the font mapper: -(points at dpi), rounded half up.
    const int height = -int(points * dpi / 72.0 + 0.5);
    QFont font(face);
    font.setPixelSize(std::max(1, std::abs(height)));
    font.setWeight(QFont::Weight(std::clamp(weight, 1, 1000)));
    font.setItalic(italic);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QSize CFixDPIDialogBase::measureBaseUnits(const QFont& font) {
    const QFontMetricsF metrics(font);
    // The cell height as a GDI text metric has it: ascent and descent each rounded up.
    const int height = int(std::ceil(metrics.ascent())) + int(std::ceil(metrics.descent()));
    const int width = int(std::lround(
        metrics.horizontalAdvance(QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"))));
    return {(width / 26 + 1) / 2, height};
}

bool CFixDPIDialogBase::Init(QWidget* window, int templateId, double dpi) {
    if (m_initialised)
        Reset();
    const DialogTemplate* tmpl = findDialogTemplate(templateId);
    if (!window || !tmpl)
        return false;
    m_window = window;
    m_template = tmpl;
    m_templateId = templateId;

    m_font = templateFont(*tmpl, dpi);
    m_previousFont = window->font();
    window->setFont(m_font);
    const QSize base = measureBaseUnits(m_font);
    m_baseWidth = base.width();
    m_baseHeight = base.height();
    m_initialised = true;

    // The window keeps its client position; only the client size follows the template.
    window->resize(templateSize());

    // Items in template order; each is looked for after the child found for the previous one.
    const QObjectList& children = window->children();
    qsizetype next = 0;
    for (const DialogItem& item : tmpl->items) {
        QWidget* found = nullptr;
        for (qsizetype i = next; i < children.size(); ++i) {
            QObject* child = children[i];
            if (child->isWidgetType() && controlId(child) == item.id) {
                found = static_cast<QWidget*>(child);
                next = i + 1;
                break;
            }
        }
        if (!found)
            break;
        found->setGeometry(toPixels(item.x, item.y, item.cx, item.cy));
        found->setFont(m_font);
    }
    return true;
}

void CFixDPIDialogBase::Reset() {
    if (!m_initialised)
        return;
    m_initialised = false;
    if (!m_window)
        return;
    m_window->setFont(m_previousFont);
    for (const DialogItem& item : m_template->items) {
        if (QWidget* child = dlgItem(m_window, item.id))
            child->setFont(m_previousFont);
    }
}

QRect CFixDPIDialogBase::toPixels(int x, int y, int cx, int cy) const {
    const int left = toPixelsX(x);
    const int top = toPixelsY(y);
    return QRect(left, top, toPixelsX(x + cx) - left, toPixelsY(y + cy) - top);
}

QSize CFixDPIDialogBase::templateSize() const {
    return m_template ? QSize(toPixelsX(m_template->cx), toPixelsY(m_template->cy)) : QSize();
}
