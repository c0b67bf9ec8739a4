#include "pages/provisioning/ProgressPage.h"

#include "ui/ClipPlayer.h"
#include "provisioning/RpcCaller.h"
#include "provisioning/ServerOperations.h"
#include "resources/StringTable.h"
#include "ui/SaveFailure.h"
#include "store/ValdorixTokenDB.h"

#include <QApplication>
#include <QLabel>
#include <cstdio>
#include <utility>

using namespace resources::ids;

namespace {

const QString kDownloadToken = QStringLiteral("DownloadToken");
const QString kDownloadTokenOk = QStringLiteral("DownloadTokenOK");
const QString kActivateToken = QStringLiteral("ActivateToken");
const QString kSyncToken = QStringLiteral("SyncToken");

QString fromUtf16(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

} // namespace

CProgressPage::CProgressPage()
    : m_mailbox(std::make_shared<Mailbox<Delivery>>(
          // Only posts: a worker never waits for the UI thread.
          [this] { QMetaObject::invokeMethod(this, &CProgressPage::takeOutcomes, Qt::QueuedConnection); })) {}

CProgressPage::~CProgressPage() {
    // No worker may queue a call to a page that is going.
    m_mailbox->detach();
    // Closing the connections ends the calls; the operations have no other waiting point.
    m_workers.requestStop();
    m_workers.joinAll();
    // A token the server already handed over is not lost at exit.
    for (const Delivery& delivery : m_mailbox->take()) {
        // No window can be shown any more: standard error is the last place to say it.
        if (const SaveResult saved = keepDownloadedToken(delivery); !saved)
            std::fprintf(stderr, "Valdorix could not save a downloaded token to %s: %s\n", saved.path.c_str(),
                         saved.reason().c_str());
    }
}

void CProgressPage::OnInitDialog() {
    m_fixDpi.Init(this, IDD, 96.0);

    // The progress bar only marks the place of the clip.
    m_animation = new CClipPlayer(this);
    m_animation->setObjectName(QStringLiteral("Progress"));
    if (QWidget* place = item(IDC_ANIMATION_PLACE))
        m_animation->setGeometry(place->geometry());
    m_animation->Open(AnimationClip);
    m_animation->show();
    m_animation->Play();

    m_error = qobject_cast<QLabel*>(item(IDC_ERROR));
    m_information = qobject_cast<QLabel*>(item(IDC_INFORMATION));
    if (m_error) {
        QPalette red = m_error->palette();
        red.setColor(QPalette::WindowText, QColor(255, 0, 0));
        m_error->setPalette(red);
    }

    DlgResize_Init({{IDC_NAVIGATION_BAR, CDialogResize::SizeX | CDialogResize::MoveY},
                    {IDC_PANEL, CDialogResize::SizeX}});
}

void CProgressPage::OnShow(const PageArgs& args) {
    if (args.isEmpty())
        return;
    const QString& word = args[0];
    const qsizetype count = args.size();
    if (word == kDownloadToken && count >= 4) {
        beginCommand(IDS_DOWNLOADING);
        setBusy(true);
        startWorker(Operation::Download, args[1], args[2], args[3]);
    } else if (word == kDownloadTokenOk) {
        beginCommand(IDS_DOWNLOADING);
        showInformation(resourceString(IDS_DOWNLOADED));
        setBusy(false);
    } else if (word == kActivateToken && count == 4) {
        beginCommand(IDS_ACTIVATING);
        setBusy(true);
        if (args[1].isEmpty()) {
            showError(resourceString(IDS_NO_SERVICE_URL));
            setBusy(false);
        } else {
            startWorker(Operation::Activate, args[1], args[2], args[3]);
        }
    } else if (word == kSyncToken && count == 4) {
        beginCommand(IDS_SYNCHRONISING);
        setBusy(true);
        startWorker(Operation::Synchronise, args[1], args[2], args[3]);
    }
}

void CProgressPage::OnHide() {
    // Each worker's stop callback closes the connection of its call, which then fails at once;
    // the page does not wait for it.
    m_workers.requestStop();
}

void CProgressPage::beginCommand(int captionId) {
    ++m_command;
    if (auto* caption = qobject_cast<QLabel*>(item(IDC_CAPTION))) {
        caption->setText(resourceString(captionId));
    } else {
        QApplication::beep();
        if (QWidget* place = item(IDC_CAPTION))
            place->setFocus();
    }
}

void CProgressPage::setBusy(bool on) {
    if (!m_animation)
        return;
    if (on) {
        m_animation->show();
        if (m_information)
            m_information->hide();
        if (m_error)
            m_error->hide();
        m_animation->Play();
        return;
    }
    m_animation->Stop();
    m_animation->hide();
    for (QLabel* line : {m_information.data(), m_error.data()}) {
        if (line && line->isVisible())
            line->update();
    }
}

void CProgressPage::showInformation(const QString& text) {
    if (m_information) {
        m_information->setText(text);
        m_information->show();
    }
    if (m_error)
        m_error->hide();
    setBusy(false);
}

void CProgressPage::showError(const QString& text) {
    m_lastError = text;
    if (m_error) {
        m_error->setText(text);
        m_error->show();
    }
    if (m_information)
        m_information->hide();
    setBusy(false);
}

void CProgressPage::startWorker(Operation operation, const QString& url, const QString& first,
                                const QString& second) {
    const std::uint64_t command = m_command;
    const bool started = m_workers.start([operation, command, mailbox = m_mailbox, url = url.toStdU16String(),
                                          first = first.toStdU16String(),
                                          second = second.toStdU16String()](std::stop_token stop) {
        // One caller per call: a worker left behind by an earlier command keeps its own
        // service URL, error text and connection.
        RpcCaller caller;
        std::stop_callback abortCall(stop, [&caller] { caller.abort(); });
        Outcome outcome;
        if (!stop.stop_requested()) {
            switch (operation) {
            case Operation::Download:
                outcome = downloadToken(caller, url, first, second);
                break;
            case Operation::Activate:
                outcome = activateToken(caller, url, first, second);
                break;
            case Operation::Synchronise:
                outcome = syncToken(caller, url, first, second);
                break;
            }
        }
        mailbox->deliver({command, std::move(outcome), stop.stop_requested()});
    });
    if (!started)
        showError(resourceString(IDS_CONNECT_FAILED));
}

SaveResult CProgressPage::keepDownloadedToken(const Delivery& delivery) {
    if (!delivery.outcome.token)
        return {};
    CValdorixTokenDB& store = tokenStore();
    store.addToken(delivery.outcome.token, true);
    return store.save();
}

void CProgressPage::takeOutcomes() {
    for (const Delivery& delivery : m_mailbox->take()) {
        ++m_outcomesTaken;
        const Outcome& outcome = delivery.outcome;
        // A download keeps its token even when the page was left or a newer command runs.
        if (const SaveResult saved = keepDownloadedToken(delivery); !saved)
            reportSaveFailure(this, saved);
        const bool latest = delivery.command == m_command;
        if (outcome.kind == Outcome::Kind::PackHandOff) {
            if (latest)
                setBusy(false);
            // The activation page asks for the code, wherever the user has gone meanwhile.
            if (m_navigator)
                m_navigator->PostNavigate(pageid::Activate, {fromUtf16(outcome.text)});
        }
        if (!latest)
            continue; // a newer command owns the lines and the clip
        if (outcome.kind == Outcome::Kind::Information)
            showInformation(fromUtf16(outcome.text));
        else if (outcome.kind == Outcome::Kind::Error)
            showError(fromUtf16(outcome.text));
        if (delivery.aborted)
            showError(resourceString(IDS_ABORTED));
        setBusy(false);
    }
}
