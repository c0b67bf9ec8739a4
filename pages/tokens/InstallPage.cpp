#include "pages/tokens/InstallPage.h"

#include "ui/PngButton.h"
#include "resources/StringTable.h"
#include "ui/MessageBox.h"
#include "ui/PinPageCommon.h"
#include "ui/SaveFailure.h"
#include "store/ValdorixTokenDB.h"

bool CInstallPage::canInstall(const QString& name, const QString& serial, const QString& seed) {
    return !name.isEmpty() && !serial.isEmpty() && !seed.isEmpty();
}

QWidget* CInstallPage::createControl(const resources::DialogItem& item, QWidget* parent) {
    if (item.id != IDC_INSTALL)
        return nullptr;
    m_install = new CPngButton(parent, item.id);
    return m_install;
}

void CInstallPage::OnInitDialog() {
    m_fixDpi.Init(this, IDD, 96.0);
    m_install->SetImages(picture::ActionNormal, picture::ActionNormal, picture::ActionPressed);
    DlgResize_Init({{IDC_NAME, CDialogResize::SizeX},
                    {IDC_SERIAL, CDialogResize::SizeX},
                    {IDC_SEED, CDialogResize::SizeX},
                    {IDC_INSTALL, CDialogResize::MoveX},
                    {IDC_NAVIGATION_BAR, CDialogResize::SizeX | CDialogResize::MoveY}});
}

bool CInstallPage::PreTranslateMessage(QObject*, QEvent* event) {
    return postCommandOnEnter(event, IDC_INSTALL);
}

QString CInstallPage::fieldText(int id) const {
    auto* edit = qobject_cast<QLineEdit*>(item(id));
    return edit ? edit->text() : QString();
}

void CInstallPage::onCommand(int id, int notifyCode) {
    if (notifyCode == EN_CHANGE) {
        m_install->setEnabled(canInstall(fieldText(IDC_NAME), fieldText(IDC_SERIAL), fieldText(IDC_SEED)));
        return;
    }
    if (id == IDC_INSTALL && m_install->isEnabled())
        install();
}

void CInstallPage::install() {
    const QString name = fieldText(IDC_NAME).trimmed();
    const QString serial = fieldText(IDC_SERIAL).trimmed();
    const QString seed = fieldText(IDC_SEED).trimmed();
    CValdorixTokenDB& store = tokenStore();
    const std::shared_ptr<COtpToken> token =
        store.createTokenFromSeed(name.toStdU16String(), serial.toStdU16String(), seed.toStdU16String());
    if (!token) {
        MessageBox::show(this, resources::ids::IDS_INVALID_SEED, MessageBox::Error);
        return;
    }
    // The token is in the list either way; a later save that works keeps it.
    saveOrReport(this, store);
    // Installed: the code must not stay for a second Enter to install it again.
    for (int id : {IDC_NAME, IDC_SERIAL, IDC_SEED}) {
        if (auto* edit = qobject_cast<QLineEdit*>(item(id)))
            edit->clear();
    }
    if (!m_navigator)
        return;
    m_navigator->Navigate(pageid::Otp);
    m_navigator->SetTitle(QString::fromStdU16String(token->displayName()));
}
