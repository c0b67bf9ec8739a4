#include "pages/pin/LoginPage.h"

#include "ui/PngButton.h"
#include "resources/StringTable.h"
#include "ui/MessageBox.h"
#include "ui/PinPageCommon.h"
#include "ui/SaveFailure.h"
#include "store/StoreError.h"
#include "store/ValdorixTokenDB.h"
#include "ui/Wipe.h"

QWidget* CLoginPage::createControl(const resources::DialogItem& item, QWidget* parent) {
    if (item.id != IDC_LOGIN)
        return nullptr;
    m_login = new CPngButton(parent, item.id);
    return m_login;
}

void CLoginPage::OnInitDialog() {
    m_fixDpi.Init(this, IDD, 96.0);
    m_login->SetImages(picture::ActionNormal, picture::ActionNormal, picture::ActionPressed);
    DlgResize_Init({{IDC_PANEL, CDialogResize::SizeX},
                    {IDC_LOGIN, CDialogResize::MoveX},
                    {IDC_PIN, CDialogResize::SizeX}});
}

bool CLoginPage::PreTranslateMessage(QObject*, QEvent* event) {
    return postCommandOnEnter(event, IDC_LOGIN);
}

void CLoginPage::onCommand(int id, int notifyCode) {
    if (notifyCode == EN_CHANGE) {
        m_pin = itemText(IDC_PIN);
        m_login->setEnabled(!m_pin.empty());
        wipe(m_pin);
        return;
    }
    if (id == IDC_LOGIN && m_login->isEnabled())
        logIn();
}

void CLoginPage::logIn() {
    m_pin = itemText(IDC_PIN);
    CValdorixTokenDB& store = tokenStore();
    // An open store (reached again by Back) only checks the PIN: loading would re-key it, or drop
    // changes that are not on disk.
    const bool accepted =
        store.isUnlocked() ? store.checkPin(m_pin) : store.setPin(m_pin) && store.load();
    if (accepted) {
        wipe(m_pin);
        navigateAfterUnlock(this, store, m_navigator);
        return;
    }
    if (store.readError() == std::errc::file_too_large)
        reportFileTooLarge(this, store.databasePath({}));
    else if (store.readError() == StoreError::NewerDatabase)
        MessageBox::show(this, resources::ids::IDS_NEWER_DATABASE, MessageBox::Error);
    else
        MessageBox::show(this, resources::ids::IDS_INCORRECT_PIN, MessageBox::Error);
    wipe(m_pin);
    // Emptying the box also disables Login through its change notification.
    if (auto* edit = qobject_cast<QLineEdit*>(item(IDC_PIN))) {
        edit->clear();
        edit->setFocus();
    }
}
