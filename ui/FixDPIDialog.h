#pragma once

#include "resources/DialogTemplates.h"

#include <QFont>
#include <QPointer>
#include <QRect>
#include <QWidget>

// Lays a dialog out as at a fixed dots-per-inch: the template font at that resolution, the base
// units measured with it, the window and every template item placed in pixels from dialog
// units. Pages, the navigation bar and the main window call Init once their controls exist.
class CFixDPIDialogBase {
public:
    CFixDPIDialogBase() = default;
    CFixDPIDialogBase(const CFixDPIDialogBase&) = delete;
    CFixDPIDialogBase& operator=(const CFixDPIDialogBase&) = delete;
    ~CFixDPIDialogBase() { Reset(); }

    // False when there is no template with this id.
    bool Init(QWidget* window, int templateId, double dpi);
    // Gives the window and its template items their previous font back.
    void Reset();

    int baseWidth() const { return m_baseWidth; }
    int baseHeight() const { return m_baseHeight; }
    int templateId() const { return m_templateId; }
    const QFont& font() const { return m_font; }

    // Dialog units to pixels with the measured base units.
    int toPixelsX(int x) const { return int(x * m_baseWidth * 0.25 + 0.5); }
    int toPixelsY(int y) const { return int(y * m_baseHeight * 0.125 + 0.5); }
    QRect toPixels(int x, int y, int cx, int cy) const;
    // The template's own size in pixels.
    QSize templateSize() const;

    // The template font at `dpi`, as the templates describe it (Tahoma 8 without DS_SETFONT).
    static QFont templateFont(const resources::DialogTemplate& tmpl, double dpi);
    // Base units of a font: the cell height, and half the average width of the 52 letters.
    static QSize measureBaseUnits(const QFont& font);

private:
    QPointer<QWidget> m_window;
    const resources::DialogTemplate* m_template = nullptr;
    int m_templateId = 0;
    QFont m_font;
    QFont m_previousFont;
    int m_baseWidth = 0;
    int m_baseHeight = 0;
    bool m_initialised = false;
};

// The per-class form the pages and bars derive from.
template <class T>
class CFixDPIDialog : public CFixDPIDialogBase {};
