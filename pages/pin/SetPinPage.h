#pragma once

#include "ui/PageImpl.h"

class CPngButton;
class QLabel;

// Page 230: the first PIN, which creates the database.
class CSetPinPage : public CDialogPageImpl<CSetPinPage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::SetPin;
    static constexpr int IDC_GO = 101;
    static constexpr int IDC_NEW_PIN = 1032;
    static constexpr int IDC_CONFIRM_PIN = 1033;

    bool PreTranslateMessage(QObject* receiver, QEvent* event) override;
    void onCommand(int id, int notifyCode) override;

    // The rule for Go: at least four characters, and the confirmation exactly equal.
    static bool canSet(const std::u16string& pin, const std::u16string& confirmation);

    QLabel* hint() const { return m_hint; }

private:
    friend class CPageImpl<CSetPinPage>;
    friend class CDialogPageImpl<CSetPinPage>;
    void OnInitDialog();
    QWidget* createControl(const resources::DialogItem& item, QWidget* parent);
    void setPin();
    // The rule while the PIN is too short, then a red line while the two boxes differ.
    void showHint();

    CPngButton* m_go = nullptr;
    QLabel* m_hint = nullptr;
    std::u16string m_pin;
    std::u16string m_confirmation;
};
