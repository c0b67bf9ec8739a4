#pragma once

#include "ui/PageImpl.h"

// Page 100: the logo and the version text. The one page reachable while the store is locked, so
// it keeps Home and Forward from leading past the PIN pages.
class CAboutPage : public CDialogPageImpl<CAboutPage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::About;
    static constexpr int IDC_LOGO_AREA = 1008;
    static constexpr int IDC_VERSION = 1018;
    static constexpr int LogoPicture = 230;

    void OnShow(const PageArgs& args) override;
    // Where the logo goes: centred across the page, and between the top of the logo area and the
    // top of the text.
    QPoint logoPosition() const;

protected:
    void paintPage(Surface& dc) override;

private:
    friend class CPageImpl<CAboutPage>;
    friend class CDialogPageImpl<CAboutPage>;
    void OnInitDialog();

    CScaledPicture<CxImage> m_logo;
};
