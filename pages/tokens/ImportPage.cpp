#include "pages/tokens/ImportPage.h"

#include "platform/ReadFile.h"
#include "qr/QrCodes.h"
#include "qr/ScreenGrab.h"
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

bool isPicture(const std::string& file) {
    const QString name = QFile::decodeName(QByteArray::fromStdString(file)).toLower();
    return name.endsWith(QStringLiteral(".png")) || name.endsWith(QStringLiteral(".jpg")) ||
           name.endsWith(QStringLiteral(".jpeg"));
}

// Every QR code of the picture at `file`, each taken as an otpauth URI.
CsvImport readPictureTokens(const std::string& file) {
    CsvImport result;
    const QString path = QFile::decodeName(QByteArray::fromStdString(file));
    const std::string name = QFile::encodeName(path.section(u'/', -1)).toStdString();
    const QrFileResult codes = readQrCodesFromFile(path);
    if (!codes.error.isEmpty())
        result.report.skip({0, ImportReport::Unreadable, name, codes.error.toStdString()});
    else if (codes.texts.empty())
        result.report.skip({0, ImportReport::NoQrCode, name});
    for (std::size_t i = 0; i < codes.texts.size(); ++i)
        result.takeUri(codes.texts[i], i + 1, name);
    return result;
}

// The file's tokens by its kind: a QR picture, a list of otpauth URIs, or a CSV token list.
CsvImport readAnyTokens(const std::string& file, std::stop_token stop, ReadProgress* progress,
                        std::uint64_t room) {
    if (isPicture(file))
        return readPictureTokens(file);
    std::error_code ignored;
    const auto head = platform::readFileHead(file, 4096, ignored);
    if (head && looksLikeOtpAuthList({reinterpret_cast<const char*>(head->data()), head->size()}))
        return readOtpAuthTokens(file, stop);
    return readCsvTokens(file, stop, progress, room);
}

// One skipped entry as the summary lists it.
QString skippedText(const ImportReport::Skipped& skipped) {
    const QString detail = QString::fromStdString(skipped.detail);
    QString reason;
    switch (skipped.reason) {
    case ImportReport::NotThreeFields:
        return resourceString(IDS_LINE_NOT_THREE_FIELDS).arg(skipped.line);
    case ImportReport::InvalidSeed:
        return resourceString(IDS_LINE_INVALID_SEED).arg(skipped.line);
    case ImportReport::InvalidUri:
    case ImportReport::Unreadable:
        reason = detail;
        break;
    case ImportReport::AlreadyPresent:
        reason = resourceString(IDS_ALREADY_PRESENT);
        break;
    case ImportReport::NoQrCode:
        reason = resourceString(IDS_NO_QR_CODE);
        break;
    }
    if (skipped.source.empty())
        return resourceString(IDS_LINE_REASON).arg(skipped.line).arg(reason);
    const QString picture = QFile::decodeName(QByteArray::fromStdString(skipped.source));
    if (skipped.line == 0)
        return resourceString(IDS_PICTURE_REASON).arg(picture, reason);
    return resourceString(IDS_PICTURE_CODE_REASON).arg(picture).arg(skipped.line).arg(reason);
}

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
    for (std::size_t i = 0; i < shown; ++i)
        text += u'\n' + skippedText(report.skipped[i]);
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
    case IDC_FROM_SCREEN:
        if (!m_running)
            importScreen();
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
         {resourceString(resources::ids::IDS_OTP_FILES_FILTER), QStringLiteral("*.png *.jpg *.jpeg *.txt")},
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
            CsvImport result = readAnyTokens(file, stop, progress.get(), room);
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

void CImportPage::importScreen() {
    const ScreenGrabResult grab = grabScreen();
    if (!grab.error.isEmpty()) {
        MessageBox::show(this, grab.error, MessageBox::Error);
        return;
    }
    const std::vector<std::string> codes = decodeQrCodes(grab.image);
    if (codes.empty() && !qrModuleProblem().isEmpty()) {
        MessageBox::show(this, QStringLiteral("QR codes cannot be read: %1.").arg(qrModuleProblem()),
                         MessageBox::Error);
        return;
    }
    if (codes.empty()) {
        MessageBox::show(this, IDS_NO_QR_ON_SCREEN, MessageBox::Error);
        return;
    }
    CsvImport result;
    const std::string source = QFile::encodeName(resourceString(IDS_THE_SCREEN)).toStdString();
    for (std::size_t i = 0; i < codes.size(); ++i)
        result.takeUri(codes[i], i + 1, source);
    finishImport({}, std::move(result));
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
    // A URI names its token: one the list has already is skipped and said so. CSV lines do not.
    if (!result.origins.empty())
        result.dropPresent(store.tokens);
    if (result.tokens.empty() || !store.isUnlocked()) {
        // A CSV file says only that; a URI list or picture says why each entry was passed over.
        const bool csv = std::all_of(result.report.skipped.begin(), result.report.skipped.end(), [](const auto& s) {
            return s.reason == ImportReport::NotThreeFields || s.reason == ImportReport::InvalidSeed;
        });
        if (csv)
            MessageBox::show(this, IDS_NO_TOKENS_IMPORTED, MessageBox::Error);
        else
            MessageBox::show(this, resourceString(IDS_NO_TOKENS_IMPORTED) + QStringLiteral("\n\n") +
                                       importSummary(result.report).section(QStringLiteral("\n\n"), 1),
                             MessageBox::Error);
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
