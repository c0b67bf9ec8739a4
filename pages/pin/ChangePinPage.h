#pragma once

#include "ui/PageImpl.h"

class CPngButton;

// Page 229: replaces the PIN of the open store and enciphers the file again.
class CChangePinPage : public CDialogPageImpl<CChangePinPage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::ChangePin;
    static constexpr int IDC_GO = 101;
    static constexpr int IDC_NEW_PIN = 1032;
    static constexpr int IDC_CONFIRM_PIN = 1033;
    static constexpr int IDC_CURRENT_PIN = 1034;

    bool PreTranslateMessage(QObject* receiver, QEvent* event) override;
    void onCommand(int id, int notifyCode) override;

    // The rule for Go: a current PIN, a new one of at least four characters, confirmed exactly.
    static bool canChange(const std::u16string& current, const std::u16string& pin,
                          const std::u16string& confirmation);

private:
    friend class CPageImpl<CChangePinPage>;
    friend class CDialogPageImpl<CChangePinPage>;
    void OnInitDialog();
    QWidget* createControl(const resources::DialogItem& item, QWidget* parent);
    void readFields();
    void wipeFields();
    void changePin();

    CPngButton* m_go = nullptr;
    std::u16string m_current;
    std::u16string m_pin;
    std::u16string m_confirmation;
};
