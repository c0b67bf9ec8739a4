#pragma once

#include "ui/PageImpl.h"

// Page 232: a fixed error text. Nothing navigates here by itself.
class CErrorMsgPage : public CDialogPageImpl<CErrorMsgPage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::ErrorMsg;
    static constexpr int IDC_TEXT = 1018;

private:
    friend class CPageImpl<CErrorMsgPage>;
    friend class CDialogPageImpl<CErrorMsgPage>;
    void OnInitDialog();
};
