#include "pages/tokens/ImportPage.h"

#include "resources/StringTable.h"
#include "store/FileBytes.h"
#include "store/ValdorixTokenDB.h"
#include "ui/MessageBox.h"
#include "ui/OpenFileDialog.h"
#include "ui/PinPageCommon.h"
#include "ui/PngButton.h"
#include "ui/SaveFailure.h"

#include <QFile>
#include <QProgressDialog>
#include <QTimer>

namespace {

using namespace resources::ids;

// The lines of a skipped-line list a message box shows before "and N more".
constexpr std::size_t kSkippedLinesShown = 10;
// The progress dialog's scale.
constexpr int kProgressSteps = 1000;

} // namespace

CImportPage::CImportPage()
    : m_mailbox(std::make_shared<Mailbox<Delivery>>(
          // Only posts: a worker never waits for the UI thread.
          [this] { QMetaObject::invokeMethod(this, &CImportPage::takeDeliveries, Qt::QueuedConnection); })) {}

CImportPage::~CImportPage() {
    // No worker may queue a call to a page that is going; what it read is dropped.
    m_mailbox->detach();
    m_workers.requestStop();
    m_workers.joinAll();
}

QString CImportPage::importSummary(const ImportReport& report) {
    QString text = resourceString(IDS_IMPORTED).arg(report.added);
    if (report.skipped.empty())
        return text;
    text += QStringLiteral("\n\n") + resourceString(IDS_SKIPPED_LINES);
    const std::size_t shown = std::min(report.skipped.size(), kSkippedLinesShown);
    for (std::size_t i = 0; i < shown; ++i) {
        const ImportReport::Skipped& skipped = report.skipped[i];
        const int reason =
            skipped.reason == ImportReport::InvalidSeed ? IDS_LINE_INVALID_SEED : IDS_LINE_NOT_THREE_FIELDS;
        text += u'\n' + resourceString(reason).arg(skipped.line);
    }
    if (report.skippedCount() > shown)
        text += u'\n' + resourceString(IDS_MORE_SKIPPED).arg(report.skippedCount() - shown);
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
    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(100);
    connect(m_progressTimer, &QTimer::timeout, this, &CImportPage::showProgress);
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
        if (m_import->isEnabled() && !m_running)
            import();
        return;
    default:
        return;
    }
}

void CImportPage::OnHide() {
    // Leaving the page (a lock, another page) ends the import: its tokens are not wanted now.
    cancelImport();
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
    m_file = QFile::encodeName(path).toStdString();
    const std::uint64_t command = ++m_command;
    auto progress = std::make_shared<ReadProgress>();
    // The worker stops once the file's tokens would not fit: reading on would only fill the memory.
    const std::uint64_t room = databaseRoom(tokenStore().tokens);
    const bool started = m_workers.start(
        [mailbox = m_mailbox, file = m_file, progress, command, room](std::stop_token stop) {
            CsvImport result = readCsvTokens(file, stop, progress.get(), room);
            mailbox->deliver({command, std::move(result)});
        });
    if (!started) {
        MessageBox::show(this, IDS_NO_TOKENS_IMPORTED, MessageBox::Error);
        return;
    }
    m_running = true;
    m_progress = std::move(progress);
    m_import->setEnabled(false);

    auto* dialog = new QProgressDialog(resourceString(IDS_IMPORTING), resourceString(IDS_CANCEL), 0,
                                       kProgressSteps, this);
    dialog->setWindowTitle(resourceString(IDS_WINDOW_TITLE));
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(ProgressDelayMs);
    dialog->setValue(0);
    // Cancel and closing the dialog say canceled; Escape rejects it.
    connect(dialog, &QProgressDialog::canceled, this, &CImportPage::cancelImport);
    connect(dialog, &QDialog::rejected, this, &CImportPage::cancelImport);
    m_dialog = dialog;
    m_progressTimer->start();
}

void CImportPage::showProgress() {
    if (!m_dialog || !m_progress)
        return;
    const std::uint64_t total = m_progress->total;
    if (total == 0)
        return;
    const std::uint64_t done = std::min<std::uint64_t>(m_progress->done, total);
    m_dialog->setValue(static_cast<int>(done * kProgressSteps / total));
}

void CImportPage::endProgress() {
    m_progressTimer->stop();
    m_progress.reset();
    if (QProgressDialog* dialog = m_dialog.data()) {
        m_dialog = nullptr;
        // Closing it could report a cancel; it is over either way.
        dialog->disconnect(this);
        dialog->close();
        dialog->deleteLater();
    }
    m_running = false;
    m_import->setEnabled(!pathEdit()->text().isEmpty());
}

void CImportPage::cancelImport() {
    if (!m_running)
        return;
    // A later delivery from this import no longer matches and is dropped.
    ++m_command;
    m_workers.requestStop();
    endProgress();
}

void CImportPage::takeDeliveries() {
    for (Delivery& delivery : m_mailbox->take()) {
        if (delivery.command != m_command || !m_running)
            continue;
        endProgress();
        finishImport(m_file, std::move(delivery.result));
    }
}

void CImportPage::finishImport(const std::string& file, CsvImport result) {
    if (result.cancelled)
        return;
    if (result.readError == std::errc::file_too_large)
        return reportFileTooLarge(this, file);
    if (result.databaseFull) {
        MessageBox::show(this, IDS_IMPORT_TOO_LARGE, MessageBox::Error);
        return;
    }
    CValdorixTokenDB& store = tokenStore();
    if (result.tokens.empty() || !store.isUnlocked()) {
        MessageBox::show(this, IDS_NO_TOKENS_IMPORTED, MessageBox::Error);
        return;
    }
    const std::size_t countBefore = store.tokens.size();
    const std::int32_t defaultBefore = store.defaultIndex;
    const std::shared_ptr<COtpToken> last = store.appendImported(std::move(result.tokens));
    if (const SaveResult saved = store.save(); !saved) {
        // What is not on disk is not imported: the list goes back to what the file holds.
        store.keepFirst(countBefore);
        store.setDefaultIndex(defaultBefore);
        if (saved.error == std::errc::file_too_large) {
            MessageBox::show(this, IDS_IMPORT_TOO_LARGE, MessageBox::Error);
            return;
        }
        const QString text = resourceString(IDS_IMPORT_NOT_SAVED)
                                 .arg(QFile::decodeName(QByteArray::fromStdString(saved.path)),
                                      QString::fromStdString(saved.reason()));
        MessageBox::show(this, text, MessageBox::Error);
        return;
    }
    MessageBox::show(this, importSummary(result.report), MessageBox::Information);
    if (!m_navigator)
        return;
    m_navigator->Navigate(pageid::Otp);
    m_navigator->SetTitle(QString::fromStdU16String(last->displayName()));
}
