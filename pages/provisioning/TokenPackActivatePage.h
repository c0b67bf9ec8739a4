#pragma once

#include "ui/PageImpl.h"

#include <string>

class CPngButton;

// Page 231: after the PIN pages, when the token pack file waits for its authorisation code. The
// store deciphers the pack with the code exactly as typed.
class CTokenPackActivatePage : public CDialogPageImpl<CTokenPackActivatePage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::TokenPackActivate;
    static constexpr int IDC_NOTICE = 1035;
    static constexpr int IDC_PROMPT = 1018;
    static constexpr int IDC_CODE = 1020;
    static constexpr int IDC_CONTINUE = 1025;

    void onCommand(int id, int notifyCode) override;

private:
    friend class CPageImpl<CTokenPackActivatePage>;
    friend class CDialogPageImpl<CTokenPackActivatePage>;
    void OnInitDialog();
    QWidget* createControl(const resources::DialogItem& item, QWidget* parent);
    void activate();

    CPngButton* m_continue = nullptr;
    std::u16string m_code;
};
