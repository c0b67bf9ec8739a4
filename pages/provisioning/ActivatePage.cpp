#include "pages/provisioning/ActivatePage.h"

#include "engine/Descriptor.h"
#include "engine/OtpToken.h"
#include "platform/CodePage.h"
#include "platform/Trim.h"
#include "provisioning/XmlRpcUtil.h"
#include "resources/StringTable.h"
#include "ui/MessageBox.h"
#include "ui/PinPageCommon.h"
#include "ui/PngButton.h"
#include "ui/SaveFailure.h"
#include "store/ValdorixTokenDB.h"

std::vector<std::uint8_t> CActivatePage::decodePackText(std::u16string_view text) {
    // Narrowing a character beyond ASCII could turn it into a letter of the alphabet; skip it.
    std::string ascii;
    ascii.reserve(text.size());
    for (char16_t c : text) {
        if (c < 0x80)
            ascii.push_back(static_cast<char>(c));
    }
    return XmlRpc::base64Decode(ascii);
}

QWidget* CActivatePage::createControl(const resources::DialogItem& item, QWidget* parent) {
    if (item.id != IDC_CONTINUE)
        return nullptr;
    m_continue = new CPngButton(parent, item.id);
    return m_continue;
}

void CActivatePage::OnInitDialog() {
    m_fixDpi.Init(this, IDD, 96.0);
    m_continue->SetImages(picture::ActionNormal, picture::ActionNormal, picture::ActionPressed);
    DlgResize_Init({{IDC_NAVIGATION_BAR, CDialogResize::SizeX},
                    {IDC_CONTINUE, CDialogResize::MoveX},
                    {IDC_PANEL, CDialogResize::SizeX},
                    {IDC_CODE, CDialogResize::SizeX}});
}

void CActivatePage::OnShow(const PageArgs& args) {
    if (!args.isEmpty())
        m_packText = args[0].toStdU16String();
}

bool CActivatePage::PreTranslateMessage(QObject*, QEvent* event) {
    return postCommandOnEnter(event, IDC_CONTINUE);
}

void CActivatePage::onCommand(int id, int notifyCode) {
    if (notifyCode == EN_CHANGE) {
        m_code = itemText(IDC_CODE);
        m_continue->setEnabled(!m_code.empty());
        return;
    }
    if (id == IDC_CONTINUE && m_continue->isEnabled())
        activate();
}

void CActivatePage::activate() {
    m_code = platform::trimmed(itemText(IDC_CODE));
    const std::vector<std::uint8_t> pack = decodePackText(m_packText);
    std::shared_ptr<COtpToken> token = decryptDescriptor(platform::toAnsi(m_code), pack);
    if (!token) {
        // The code stays in the box to be corrected.
        MessageBox::show(this, resources::ids::IDS_DECODE_FAILED, MessageBox::Error);
        return;
    }
    token->provisioned = 1;
    CValdorixTokenDB& store = tokenStore();
    store.addToken(std::move(token), true);
    // Not told to the server before the token is on disk: a token lost at exit cannot be fetched
    // again.
    if (!saveOrReport(this, store))
        return;
    if (m_navigator)
        m_navigator->ShowPage(pageid::Progress, {QStringLiteral("DownloadTokenOK")});
}
