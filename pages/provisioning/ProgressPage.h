#pragma once

#include "ui/ClipPlayer.h"
#include "provisioning/ServerOperations.h"
#include "platform/Mailbox.h"
#include "platform/WorkerGroup.h"
#include "ui/PageImpl.h"
#include "store/SaveResult.h"

#include <QLabel>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <string>

// Page 224: runs a server operation on a worker thread while the progress clip plays, then shows
// the outcome in the information line or the red error line. Leaving the page aborts the running
// call. Other pages start it with a command in the page arguments:
//   ["DownloadToken", URL, login name, password]   (further elements ignored)
//   ["DownloadTokenOK"]                             (further elements ignored)
//   ["ActivateToken", URL, reference, code]         (exactly four)
//   ["SyncToken", URL, serial, codes]               (exactly four)
//
// Workers never touch a widget or the token store: each hands its Outcome back to the UI
// thread, which shows it and adds and saves a downloaded token.
class CProgressPage : public CDialogPageImpl<CProgressPage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::Progress;
    static constexpr int IDC_CAPTION = 1026;
    static constexpr int IDC_ANIMATION_PLACE = 1023;
    static constexpr int IDC_ERROR = 1024;
    static constexpr int IDC_INFORMATION = 1025;
    static constexpr int AnimationClip = 107;

    CProgressPage();
    // Aborts every call, closes its connection and joins every worker.
    ~CProgressPage() override;

    void OnShow(const PageArgs& args) override;
    void OnHide() override;

    // On: the clip plays and both lines hide. Off: the clip stops and hides.
    void setBusy(bool on);
    void showInformation(const QString& text);
    void showError(const QString& text);

    CClipPlayer* animation() const { return m_animation; }
    QString lastError() const { return m_lastError; }
    // Workers whose operation is still running, and outcomes the page has taken in so far.
    std::size_t runningWorkers() const { return m_workers.running(); }
    // Worker threads not yet joined, running or ended.
    std::size_t workerThreads() const { return m_workers.size(); }
    int outcomesTaken() const { return m_outcomesTaken; }

private:
    friend class CPageImpl<CProgressPage>;
    friend class CDialogPageImpl<CProgressPage>;

    enum class Operation { Download, Activate, Synchronise };
    // What a worker hands back: its outcome, the command it ran for, and whether the page was
    // left while it ran.
    struct Delivery {
        std::uint64_t command = 0;
        Outcome outcome;
        bool aborted = false;
    };

    void OnInitDialog();
    void beginCommand(int captionId);
    void startWorker(Operation operation, const QString& url, const QString& first, const QString& second);
    // Runs on the UI thread, queued by a worker that has ended.
    void takeOutcomes();
    // Adds and saves a downloaded token, if the delivery carries one.
    SaveResult keepDownloadedToken(const Delivery& delivery);

    std::shared_ptr<Mailbox<Delivery>> m_mailbox;
    QPointer<CClipPlayer> m_animation;
    QPointer<QLabel> m_error;
    QPointer<QLabel> m_information;
    QString m_lastError;
    // Numbers the commands; only the latest one's worker may change what the page shows.
    std::uint64_t m_command = 0;
    int m_outcomesTaken = 0;
    WorkerGroup m_workers;
};
