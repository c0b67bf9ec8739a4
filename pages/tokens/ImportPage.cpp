#include "pages/tokens/ImportPage.h"

#include "ui/PngButton.h"
#include "resources/StringTable.h"
#include "ui/MessageBox.h"
#include "ui/OpenFileDialog.h"
#include "ui/PinPageCommon.h"
#include "ui/SaveFailure.h"
#include "store/ValdorixTokenDB.h"

#include <QFile>

namespace {

using namespace resources::ids;

// The lines of a skipped-line list a message box shows before "and N more".
constexpr std::size_t kSkippedLinesShown = 10;

} // namespace

QString CImportPage::importSummary(const CsvImportReport& report) {
    QString text = resourceString(IDS_IMPORTED).arg(report.added);
    if (report.skipped.empty())
        return text;
    text += QStringLiteral("\n\n") + resourceString(IDS_SKIPPED_LINES);
    const std::size_t shown = std::min(report.skipped.size(), kSkippedLinesShown);
    for (std::size_t i = 0; i < shown; ++i) {
        const CsvImportReport::Skipped& skipped = report.skipped[i];
        const int reason =
            skipped.reason == CsvImportReport::InvalidSeed ? IDS_LINE_INVALID_SEED : IDS_LINE_NOT_THREE_FIELDS;
        text += u'\n' + resourceString(reason).arg(skipped.line);
    }
    if (report.skipped.size() > shown)
        text += u'\n' + resourceString(IDS_MORE_SKIPPED).arg(report.skipped.size() - shown);
    return text;
}

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
    CsvImportReport report;
    const std::shared_ptr<COtpToken> token = store.importCsv(file, readError, &report);
    if (!token) {
        if (readError == std::errc::file_too_large)
            return reportFileTooLarge(this, file);
        MessageBox::show(this, resources::ids::IDS_NO_TOKENS_IMPORTED, MessageBox::Error);
        return;
    }
    saveOrReport(this, store);
    MessageBox::show(this, importSummary(report), MessageBox::Information);
    if (!m_navigator)
        return;
    m_navigator->Navigate(pageid::Otp);
    m_navigator->SetTitle(QString::fromStdU16String(token->displayName()));
}
