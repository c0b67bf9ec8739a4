#include "pages/info/AboutPage.h"

#include "resources/StringTable.h"
#include "store/ValdorixTokenDB.h"

#include <QLabel>

void CAboutPage::OnInitDialog() {
    m_fixDpi.Init(this, IDD, 96.0);
    DlgResize_Init({{IDC_NAVIGATION_BAR, CDialogResize::SizeX},
                    {IDC_VERSION, CDialogResize::SizeX},
                    {IDC_LOGO_AREA, CDialogResize::SizeX}});
    m_logo = scaledPng(LogoPicture);
    if (auto* version = qobject_cast<QLabel*>(item(IDC_VERSION))) {
        QString text = resourceString(resources::ids::IDS_VERSION);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        version->setText(text);
    }
}

void CAboutPage::OnShow(const PageArgs&) {
    if (tokenStore().isUnlocked() || !m_navigationBar)
        return;
    m_navigationBar->EnableButton(CNavigationBar::Home, false);
    m_navigationBar->EnableButton(CNavigationBar::Forward, false);
}

QPoint CAboutPage::logoPosition() const {
    const QWidget* area = item(IDC_LOGO_AREA);
    const QWidget* text = item(IDC_VERSION);
    const std::shared_ptr<CxImage>& logo = m_logo.forScale(surfaceScaleOf(*this));
    if (!logo || !area || !text)
        return {};
    const int x = (width() - logo->logicalWidth()) / 2;
    const int y = area->y() + (text->y() - area->y() - logo->logicalHeight()) / 2;
    return {x, y};
}

void CAboutPage::paintPage(Surface& dc) {
    const std::shared_ptr<CxImage>& logo = m_logo.forScale(dc.scale());
    if (!logo)
        return;
    const QPoint at = logoPosition();
    logo->Draw(dc, at.x(), at.y());
}
