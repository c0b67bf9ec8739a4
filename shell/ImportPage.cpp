#include "shell/ImportPage.h"

#include "controls/PngButton.h"
#include "resources/StringTable.h"
#include "shell/MessageBox.h"
#include "shell/OpenFileDialog.h"
#include "shell/PinPageCommon.h"
#include "shell/SaveFailure.h"
#include "shell/TokenStore.h"

#include <QFile>

QWidget* CImportPage::createControl(const resources::DialogItem& item, QWidget* parent) {
    if (item.id != IDC_IMPORT)
        return nullptr;
    m_import = new CPngButton(parent, item.id);
    return m_import;
}

void CImportPage::OnInitDialog() {
    m_fixDpi.Init(this, IDD, 96.0);
    m_import->SetImages(picture::ActionNormal, picture::ActionNormal, picture::ActionPressed);
    DlgResize_Init({{IDC_PATH, CDialogResize::SizeX},
                    {IDC_BROWSE, CDialogResize::MoveX},
                    {IDC_IMPORT, CDialogResize::MoveX},
                    {IDC_NAVIGATION_BAR, CDialogResize::SizeX | CDialogResize::MoveY}});
}

bool CImportPage::PreTranslateMessage(QObject*, QEvent* event) {
    return postCommandOnEnter(event, IDC_IMPORT);
}

QLineEdit* CImportPage::pathEdit() const {
    return qobject_cast<QLineEdit*>(item(IDC_PATH));
}

void CImportPage::onCommand(int id, int notifyCode) {
    if (notifyCode == EN_CHANGE) {
        if (id == IDC_PATH)
            m_import->setEnabled(!pathEdit()->text().isEmpty());
        return;
    }
    switch (id) {
    case IDC_BROWSE:
        browse();
        return;
    case IDC_IMPORT:
        if (m_import->isEnabled())
            import();
        return;
    default:
        return;
    }
}

void CImportPage::browse() {
    const QString path = COpenFileDialog::getOpenFileName(
        this,
        {{resourceString(resources::ids::IDS_CSV_FILTER), QStringLiteral("*.csv")},
         {resourceString(resources::ids::IDS_ALL_FILES_FILTER), QStringLiteral("*")}},
        QStringLiteral("csv"));
    // Writing the path enables Import through the edit's change.
    if (!path.isEmpty())
        pathEdit()->setText(path);
}

void CImportPage::import() {
    const QString path = pathEdit()->text().trimmed();
    CValdorixTokenDB& store = tokenStore();
    const std::string file = QFile::encodeName(path).toStdString();
    std::error_code readError;
    const std::shared_ptr<COtpToken> token = store.importCsv(file, readError);
    if (!token) {
        if (readError == std::errc::file_too_large)
            return reportFileTooLarge(this, file);
        MessageBox::show(this, resources::ids::IDS_NO_TOKENS_IMPORTED, MessageBox::Error);
        return;
    }
    saveOrReport(this, store);
    if (!m_navigator)
        return;
    m_navigator->Navigate(pageid::Otp);
    m_navigator->SetTitle(QString::fromStdU16String(token->displayName()));
}
