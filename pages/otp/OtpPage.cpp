#include "pages/otp/OtpPage.h"

#include "ui/SecretClipboard.h"
#include "pages/otp/NumberPlate.h"
#include "pages/otp/OtpPictures.h"
#include "pages/otp/SelectTokenWindow.h"
#include "pages/otp/TimerBar.h"
#include "platform/Clock.h"
#include "platform/ServerClock.h"
#include "resources/StringTable.h"
#include "ui/PngButton.h"
#include "ui/SaveFailure.h"
#include "store/ValdorixTokenDB.h"

#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <algorithm>
#include <climits>

namespace {

// A window timer's period: below 10 milliseconds it runs at 10, and it never exceeds what a
// timer can hold. A negative Go delay counts as none rather than as weeks.
int timerPeriod(std::int64_t milliseconds) {
    return int(std::clamp<std::int64_t>(milliseconds, 10, INT_MAX));
}

} // namespace

COtpPage::COtpPage() {
    m_tick.setObjectName(QStringLiteral("timer%1").arg(TimerTick));
    m_goLock.setObjectName(QStringLiteral("timer%1").arg(TimerGoLock));
    connect(&m_tick, &QTimer::timeout, this, [this] { onTimer(TimerTick); });
    connect(&m_goLock, &QTimer::timeout, this, [this] { onTimer(TimerGoLock); });
}

COtpPage::~COtpPage() = default;

QWidget* COtpPage::createControl(const resources::DialogItem& item, QWidget* parent) {
    switch (item.id) {
    case IDC_GO:
        return m_go = new CPngButton(parent, item.id);
    case IDC_COPY:
        return m_copy = new CPngButton(parent, item.id);
    case IDC_CHANGE_TOKEN:
        return m_changeToken = new CPngButton(parent, item.id);
    default:
        return nullptr;
    }
}

void COtpPage::OnInitDialog() {
    m_fixDpi.Init(this, IDD, 96.0);
    m_go->SetImages(picture::GoNormal, picture::GoNormal, picture::GoPressed);
    m_copy->SetImages(picture::CopyNormal, picture::CopyNormal, picture::CopyPressed);
    m_changeToken->SetImages(picture::ChangeToken, picture::ChangeToken, picture::ChangeToken);
    m_name = qobject_cast<QLabel*>(item(IDC_NAME));

    // The plate and the bar take the places of their hidden placeholders.
    const QWidget* plateArea = item(IDC_PLATE);
    m_plate = new CNumberPlate(this, plateArea ? plateArea->geometry() : QRect());
    m_plate->setObjectName(QStringLiteral("plate"));
    const QWidget* barArea = item(IDC_TIMER_BAR);
    m_timerBar = new CTimerBar(this, barArea ? barArea->geometry() : QRect());
    m_timerBar->setObjectName(QStringLiteral("timerBar"));

    // The clock warning fills the room between the name line and the plate.
    m_clockWarning = new QLabel(this);
    m_clockWarning->setObjectName(QStringLiteral("clockWarning"));
    m_clockWarning->setTextFormat(Qt::PlainText);
    m_clockWarning->setWordWrap(true);
    m_clockWarning->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette red = m_clockWarning->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    m_clockWarning->setPalette(red);
    const QRect name = m_name ? m_name->geometry() : QRect();
    const QRect plate = m_plate->geometry();
    m_clockWarning->setGeometry(
        QRect(QPoint(name.left(), name.bottom() + 1), QPoint(plate.right(), plate.top() - 2)));
    m_clockWarning->hide();
    // No resize map: the controls keep their template places.
}

bool COtpPage::PreTranslateMessage(QObject*, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    if (static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        onCommand(IDC_COPY, 0);
        return true;
    }
    const int key = static_cast<QKeyEvent*>(event)->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_go && m_go->isEnabled())
        postCommand(IDC_GO);
    else if (key == Qt::Key_F2 && m_changeToken)
        openPicker(m_changeToken->mapToGlobal(QPoint(m_changeToken->width(), m_changeToken->height())));
    return false;
}

void COtpPage::OnShow(const PageArgs& args) {
    refresh();
    if (args.contains(pagearg::openPicker()) && m_changeToken) {
        // Where F2 opens it once the page has slid into place, at the client's top-left.
        const QRect button = m_changeToken->geometry();
        QWidget* client = parentWidget();
        const QPoint corner = button.topLeft() + QPoint(button.width(), button.height());
        openPicker(client ? client->mapToGlobal(corner) : mapToGlobal(corner));
    }
}

void COtpPage::OnHide() {
    m_tick.stop();
    m_timerBar->setRange(0);
    m_timerBar->setPos(0, false);
}

bool COtpPage::event(QEvent* event) {
    if (event->type() == WM_TOKENCHANGED) {
        refresh();
        return true;
    }
    return CDialogPageImpl<COtpPage>::event(event);
}

void COtpPage::setTitle(const QString& text) {
    if (m_navigator)
        m_navigator->SetTitle(text);
}

void COtpPage::refresh() {
    const std::shared_ptr<COtpToken> token = tokenStore().defaultToken();
    updateClockWarning(token.get());
    if (!token) {
        setTitle(QString());
        m_name->setText(resourceString(resources::ids::IDS_NO_TOKEN_HINT));
        m_plate->setCodes({}, {});
        m_go->setEnabled(false);
        m_copy->setEnabled(false);
        return;
    }
    m_plate->setDualLine(token->dualDisplay);

    const QString name = QString::fromStdU16String(token->displayName());
    setTitle(name);
    m_name->setText(name.isEmpty() ? QString() : QStringLiteral("- ") + name);
    // The name line is transparent: the page behind it repaints.
    update(m_name->geometry());

    if (token->traits().renewsByItself) {
        renewTimeCode();
        m_timerBar->setRange(token->interval);
        m_timerBar->setPos(m_countdown, false);
        m_tick.start(1000);
        m_go->setEnabled(false);
        m_copy->setEnabled(true);
        return;
    }
    // A countdown still running from an earlier Go runs on.
    m_go->setEnabled(true);
    m_plate->setCodes({}, {});
    m_copy->setEnabled(false);
}

void COtpPage::updateClockWarning(const COtpToken* token) {
    using namespace resources::ids;
    const std::optional<std::int64_t> offset = platform::clockOffset();
    const bool timeBased = token && token->traits().usesTime();
    if (!offset || !timeBased) {
        m_clockWarning->hide();
        return;
    }
    // "2 min 10 s": the parts that are not zero.
    std::int64_t rest = *offset < 0 ? -*offset : *offset;
    QStringList parts;
    for (const auto& [unit, id] :
         {std::pair{86400, IDS_DAYS}, {3600, IDS_HOURS}, {60, IDS_MINUTES}, {1, IDS_SECONDS}}) {
        if (rest >= unit)
            parts.append(resourceString(id).arg(rest / unit));
        rest %= unit;
    }
    m_clockWarning->setText(
        resourceString(*offset < 0 ? IDS_CLOCK_BEHIND : IDS_CLOCK_AHEAD).arg(parts.join(u' ')));
    m_clockWarning->show();
}

void COtpPage::renewTimeCode() {
    const std::shared_ptr<COtpToken> token = tokenStore().defaultToken();
    if (!token)
        return;
    // The countdown and the code come from one reading of the clock: were a second to turn
    // between them, the code would belong to another step than the bar.
    OtpPair pair;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::int64_t before = platform::now();
        m_countdown = token->secondsRemaining();
        pair = token->computeOtp();
        if (platform::now() == before)
            break;
    }
    startCountdown(m_countdown);
    m_plate->setCodes(pair.first, pair.second);
}

void COtpPage::startCountdown(int seconds) {
    m_countdown = seconds;
    m_lastTick = platform::now();
    m_deadline = m_lastTick + seconds;
}

void COtpPage::onCommand(int id, int) {
    switch (id) {
    case IDC_GO:
        // A second Enter can post Go again before the first has disabled the button.
        if (m_go->isEnabled())
            go();
        return;
    case IDC_COPY:
        copyToClipboard(this, QString::fromStdU16String(m_plate->topCode()));
        return;
    case IDC_CHANGE_TOKEN:
        openPicker(QCursor::pos());
        return;
    default:
        return;
    }
}

void COtpPage::go() {
    CValdorixTokenDB& store = tokenStore();
    const std::shared_ptr<COtpToken> token = store.defaultToken();
    if (!token || token->traits().renewsByItself)
        return;
    const std::int64_t counterBefore = token->counter;
    const OtpPair pair = token->computeOtp();
    // The advanced counter is on disk before the user can see the code.
    if (!saveCodeCounter(this, store, *token, counterBefore))
        return;
    m_plate->setCodes(pair.first, pair.second);

    // computeOtp has turned an interval of 0 into 180.
    startCountdown(token->interval);
    m_timerBar->setRange(m_countdown);
    m_timerBar->setPos(m_countdown, false);
    m_tick.start(1000);

    m_copy->setEnabled(true);

    m_goLock.start(timerPeriod(std::int64_t(token->goDelay) * 1000));
    m_go->setEnabled(false);
}

void COtpPage::onTimer(int id) {
    if (id == TimerTick) {
        tick();
        return;
    }
    if (id == TimerGoLock) {
        // Never stopped: each firing does the same, and the next Go restarts it.
        const std::shared_ptr<COtpToken> token = tokenStore().defaultToken();
        if (token && !token->traits().renewsByItself)
            m_go->setEnabled(true);
    }
}

void COtpPage::tick() {
    const std::int64_t now = platform::now();
    // Ticks were missed when the clock moved two or more seconds since the last one, or went
    // back; one tick per second cannot be trusted then.
    const bool missed = now - m_lastTick >= 2 || now < m_lastTick;
    m_lastTick = now;

    --m_countdown;
    m_timerBar->setPos(m_countdown, false);

    const std::shared_ptr<COtpToken> token = tokenStore().defaultToken();
    updateClockWarning(token.get());
    if (!token)
        return;

    if (token->traits().renewsByItself) {
        // The new code comes on the first tick after the bar reached 0, or at once after missed
        // ticks, so a code of a step gone by is never shown as current.
        if (m_countdown < 0 || missed) {
            renewTimeCode();
            m_timerBar->setPos(m_countdown, true);
        }
        return;
    }

    if (missed && m_deadline - now < m_countdown) {
        m_countdown = int(std::max<std::int64_t>(m_deadline - now, -1));
        m_timerBar->setPos(m_countdown, true);
    }
    if (m_countdown < 0) {
        m_tick.stop();
        m_timerBar->setRange(0);
        m_timerBar->setPos(0, false);
        m_plate->setCodes({}, {});
        // Copy keeps its state.
    }
}

void COtpPage::openPicker(const QPoint& screenPos) {
    if (!m_picker)
        m_picker = new CSelectTokenWindow(this, tokenStore(), m_fixDpi.toPixelsY(14));
    m_picker->open(screenPos);
}
