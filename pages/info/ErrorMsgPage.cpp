#include "pages/info/ErrorMsgPage.h"

void CErrorMsgPage::OnInitDialog() {
    m_fixDpi.Init(this, IDD, 96.0);
    DlgResize_Init({{IDC_TEXT, CDialogResize::SizeX}});
}
