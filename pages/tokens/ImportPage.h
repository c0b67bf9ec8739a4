#pragma once

#include "platform/Mailbox.h"
#include "platform/WorkerGroup.h"
#include "store/CsvImport.h"
#include "ui/PageImpl.h"

#include <QPointer>
#include <QProgressDialog>
#include <cstdint>
#include <memory>
#include <string>

class CPngButton;
class QTimer;

// Page 234: installs the tokens of a CSV file of serial, seed code and name lines, of a list of
// otpauth URIs, of QR pictures, or of the QR codes shown on the screen.
//
// The file is read and its tokens made on a worker thread while a progress dialog with Cancel
// shows how far it has come; the worker touches neither the store nor a widget. Its tokens come
// back to the UI thread, which adds them all and saves once. A cancelled import, or one whose page
// is left first (a lock, say), adds nothing and saves nothing.
class CImportPage : public CDialogPageImpl<CImportPage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::Import;
    static constexpr int IDC_BROWSE = 1001;
    static constexpr int IDC_PATH = 1040;
    static constexpr int IDC_IMPORT = 1041;
    static constexpr int IDC_FROM_SCREEN = 1042;
    // The progress dialog waits this long before it shows, so short imports do not flash it.
    static constexpr int ProgressDelayMs = 400;

    CImportPage();
    // Stops and joins the worker; an import still running adds nothing.
    ~CImportPage() override;

    bool PreTranslateMessage(QObject* receiver, QEvent* event) override;
    void onCommand(int id, int notifyCode) override;
    void OnHide() override;

    // What an import that added tokens tells the user: how many, and the entries skipped and why.
    static QString importSummary(const ImportReport& report);

    // An import is running (its worker not yet handed back).
    bool importing() const { return m_running; }
    // Worker threads whose import is still running (a cancelled one may still be winding up).
    std::size_t runningWorkers() const { return m_workers.running(); }
    // The progress dialog of the running import, once made.
    QProgressDialog* progressDialog() const { return m_dialog; }
    // Ends the running import without adding anything, as Cancel does.
    void cancelImport();

private:
    friend class CPageImpl<CImportPage>;
    friend class CDialogPageImpl<CImportPage>;

    struct Delivery {
        std::uint64_t command = 0;
        CsvImport result;
    };

    void OnInitDialog();
    QWidget* createControl(const resources::DialogItem& item, QWidget* parent);
    QLineEdit* pathEdit() const;
    void browse();
    void import();
    // Imports every QR code on the screen, at once on the UI thread: the grab must be made there.
    void importScreen();
    // Runs on the UI thread, queued by a worker that has ended.
    void takeDeliveries();
    void finishImport(const std::string& file, CsvImport result);
    void showProgress();
    void endProgress();

    CPngButton* m_import = nullptr;
    std::shared_ptr<Mailbox<Delivery>> m_mailbox;
    std::shared_ptr<ReadProgress> m_progress;
    QPointer<QProgressDialog> m_dialog;
    QTimer* m_progressTimer = nullptr;
    std::string m_file;
    // Numbers the imports; a delivery for any but the latest is dropped.
    std::uint64_t m_command = 0;
    bool m_running = false;
    WorkerGroup m_workers;
};
