#pragma once

#include "ui/PageImpl.h"

class CPngButton;

// Page 228: opens the existing database with the PIN.
class CLoginPage : public CDialogPageImpl<CLoginPage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::Login;
    static constexpr int IDC_LOGIN = 1030;
    static constexpr int IDC_PIN = 1031;

    bool PreTranslateMessage(QObject* receiver, QEvent* event) override;
    void onCommand(int id, int notifyCode) override;

private:
    friend class CPageImpl<CLoginPage>;
    friend class CDialogPageImpl<CLoginPage>;
    void OnInitDialog();
    QWidget* createControl(const resources::DialogItem& item, QWidget* parent);
    void logIn();

    CPngButton* m_login = nullptr;
    std::u16string m_pin;
};
