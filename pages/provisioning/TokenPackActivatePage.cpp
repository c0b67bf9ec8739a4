#include "pages/provisioning/TokenPackActivatePage.h"

#include "ui/PngButton.h"
#include "resources/StringTable.h"
#include "ui/MessageBox.h"
#include "ui/PinPageCommon.h"
#include "ui/SaveFailure.h"
#include "store/ValdorixTokenDB.h"

QWidget* CTokenPackActivatePage::createControl(const resources::DialogItem& item, QWidget* parent) {
    if (item.id != IDC_CONTINUE)
        return nullptr;
    m_continue = new CPngButton(parent, item.id);
    return m_continue;
}

void CTokenPackActivatePage::OnInitDialog() {
    m_fixDpi.Init(this, IDD, 96.0);
    m_continue->SetImages(picture::ActionNormal, picture::ActionNormal, picture::ActionPressed);
    DlgResize_Init({{IDC_NAVIGATION_BAR, CDialogResize::SizeX},
                    {IDC_CONTINUE, CDialogResize::MoveX},
                    {IDC_PANEL, CDialogResize::SizeX},
                    {IDC_CODE, CDialogResize::SizeX},
                    {IDC_NOTICE, CDialogResize::SizeX}});
}

void CTokenPackActivatePage::onCommand(int id, int notifyCode) {
    if (notifyCode == EN_CHANGE) {
        m_code = itemText(IDC_CODE);
        m_continue->setEnabled(!m_code.empty());
        return;
    }
    if (id == IDC_CONTINUE && m_continue->isEnabled())
        activate();
}

void CTokenPackActivatePage::activate() {
    // Used as typed: blanks around the code are part of it.
    m_code = itemText(IDC_CODE);
    CValdorixTokenDB& store = tokenStore();
    const PackOutcome outcome = store.activateTokenPack(m_code);
    if (outcome == PackPending) {
        // The next attempt starts from the file as it is on disk.
        reportPackSaveFailure(this, store.checkTokenPack());
        MessageBox::show(this, resources::ids::IDS_DECODE_FAILED, MessageBox::Error);
        return;
    }
    // The pack stays on disk for the next start when its token could not be saved.
    reportPackSaveFailure(this, outcome);
    if (m_navigator)
        m_navigator->ShowPage(pageid::Otp, {});
}
