#pragma once

#include "ui/PageImpl.h"

#include <memory>
#include <string>
#include <vector>

class COtpToken;
class CPngButton;

// Page 225: a download whose reply lacked the authorisation code lands here with the token pack
// as Base64 text; the user types the code and the pack is deciphered here, without the server.
class CActivatePage : public CDialogPageImpl<CActivatePage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::Activate;
    static constexpr int IDC_PROMPT = 1018;
    static constexpr int IDC_CODE = 1020;
    static constexpr int IDC_CONTINUE = 1025;

    // Element 0, when given, is the token pack text; an empty list keeps the previous one.
    void OnShow(const PageArgs& args) override;
    bool PreTranslateMessage(QObject* receiver, QEvent* event) override;
    void onCommand(int id, int notifyCode) override;

    const std::u16string& packText() const { return m_packText; }

    // The pack bytes of a Base64 text: characters outside the alphabet (line breaks, and any
    // beyond ASCII) are skipped.
    static std::vector<std::uint8_t> decodePackText(std::u16string_view text);

private:
    friend class CPageImpl<CActivatePage>;
    friend class CDialogPageImpl<CActivatePage>;
    void OnInitDialog();
    QWidget* createControl(const resources::DialogItem& item, QWidget* parent);
    void activate();

    CPngButton* m_continue = nullptr;
    std::u16string m_code;
    std::u16string m_packText;
};
