#include "pages/provisioning/SynchronisePage.h"

#include "ui/PngButton.h"
#include "engine/OtpToken.h"
#include "ui/PinPageCommon.h"
#include "ui/SaveFailure.h"
#include "store/ValdorixTokenDB.h"

QWidget* CSynchronisePage::createControl(const resources::DialogItem& item, QWidget* parent) {
    if (item.id != IDC_SYNCHRONISE)
        return nullptr;
    m_synchronise = new CPngButton(parent, item.id);
    return m_synchronise;
}

void CSynchronisePage::OnInitDialog() {
    m_fixDpi.Init(this, IDD, 96.0);
    m_synchronise->SetImages(picture::ActionNormal, picture::ActionNormal, picture::ActionPressed);
    updateButton();
    DlgResize_Init({{IDC_NAVIGATION_BAR, CDialogResize::SizeX},
                    {IDC_SYNCHRONISE, CDialogResize::MoveX},
                    {IDC_PANEL, CDialogResize::SizeX},
                    {IDC_PROMPT, CDialogResize::SizeX}});
}

void CSynchronisePage::OnShow(const PageArgs&) {
    updateButton();
}

void CSynchronisePage::updateButton() {
    m_synchronise->setEnabled(tokenStore().defaultToken() != nullptr);
}

bool CSynchronisePage::PreTranslateMessage(QObject*, QEvent* event) {
    return postCommandOnEnter(event, IDC_SYNCHRONISE);
}

void CSynchronisePage::onCommand(int id, int) {
    if (id == IDC_SYNCHRONISE && m_synchronise->isEnabled())
        synchronise();
}

void CSynchronisePage::synchronise() {
    CValdorixTokenDB& store = tokenStore();
    const std::shared_ptr<COtpToken> token = store.defaultToken();
    if (!token)
        return;
    const std::int64_t counterBefore = token->counter;
    const std::u16string codes = token->syncCodes();
    // The advanced counter is on disk before the server hears of it, whatever the server says.
    if (!saveCodeCounter(this, store, *token, counterBefore))
        return;
    if (m_navigator)
        m_navigator->ShowPage(pageid::Progress,
                              {QStringLiteral("SyncToken"), QString::fromStdU16String(token->serviceUrl),
                               QString::fromStdU16String(token->serial), QString::fromStdU16String(codes)});
}
