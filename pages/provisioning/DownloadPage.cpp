#include "pages/provisioning/DownloadPage.h"

#include "platform/Trim.h"
#include "ui/PinPageCommon.h"
#include "ui/PngButton.h"

#include <QApplication>

QWidget* CDownloadPage::createControl(const resources::DialogItem& item, QWidget* parent) {
    if (item.id != IDC_DOWNLOAD)
        return nullptr;
    m_download = new CPngButton(parent, item.id);
    return m_download;
}

void CDownloadPage::OnInitDialog() {
    m_fixDpi.Init(this, IDD, 96.0);
    m_download->SetImages(picture::ActionNormal, picture::ActionNormal, picture::ActionPressed);
    const std::pair<int, const std::u16string*> fields[] = {
        {IDC_SERVICE_URL, &m_serviceUrl}, {IDC_LOGIN_NAME, &m_loginName}, {IDC_PASSWORD, &m_password}};
    for (const auto& [id, text] : fields) {
        auto* edit = qobject_cast<QLineEdit*>(item(id));
        if (!edit) {
            QApplication::beep();
            if (QWidget* place = item(id))
                place->setFocus();
            continue;
        }
        edit->setText(QString::fromStdU16String(*text));
    }
    DlgResize_Init({{IDC_NAVIGATION_BAR, CDialogResize::SizeX},
                    {IDC_DOWNLOAD, CDialogResize::MoveX | CDialogResize::MoveY},
                    {IDC_SERVICE_URL, CDialogResize::SizeX},
                    {IDC_LOGIN_NAME, CDialogResize::SizeX},
                    {IDC_PASSWORD, CDialogResize::SizeX}});
    m_initialising = false;
}

bool CDownloadPage::PreTranslateMessage(QObject*, QEvent* event) {
    return postCommandOnEnter(event, IDC_DOWNLOAD);
}

void CDownloadPage::onCommand(int id, int notifyCode) {
    if (notifyCode == EN_CHANGE) {
        if (m_initialising)
            return;
        m_serviceUrl = itemText(IDC_SERVICE_URL);
        m_loginName = itemText(IDC_LOGIN_NAME);
        m_password = itemText(IDC_PASSWORD);
        m_download->setEnabled(!m_serviceUrl.empty() && !m_loginName.empty() && !m_password.empty());
        return;
    }
    if (id == IDC_DOWNLOAD && m_download->isEnabled())
        download();
}

void CDownloadPage::download() {
    m_serviceUrl = itemText(IDC_SERVICE_URL);
    m_loginName = itemText(IDC_LOGIN_NAME);
    m_password = itemText(IDC_PASSWORD);
    if (!m_navigator)
        return;
    // The boxes keep what was typed for the next visit, the password too.
    m_navigator->ShowPage(pageid::Progress, {QStringLiteral("DownloadToken"),
                                             QString::fromStdU16String(platform::trimmed(m_serviceUrl)),
                                             QString::fromStdU16String(platform::trimmed(m_loginName)),
                                             QString::fromStdU16String(platform::trimmed(m_password))});
}
