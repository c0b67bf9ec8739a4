#include "app/AutoLock.h"

#include "ui/AppSettings.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QEvent>
#include <chrono>

namespace {

std::int64_t steadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

CAutoLock::CAutoLock(QObject* parent, Clock clock)
    : QObject(parent), m_clock(clock ? std::move(clock) : Clock(steadyMilliseconds)) {
    m_lastInput = m_clock();
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
    connect(&m_check, &QTimer::timeout, this, &CAutoLock::checkIdle);
    m_check.start(CheckMilliseconds);
}

CAutoLock::~CAutoLock() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool CAutoLock::watchScreenLocker(const QDBusConnection& bus) {
    if (!bus.isConnected())
        return false;
    QDBusConnection connection(bus);
    // Any sender and path: the desktops publish it under different names.
    bool watching = false;
    for (const QString& interface :
         {QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver")})
        watching |= connection.connect(QString(), QString(), interface, QStringLiteral("ActiveChanged"), this,
                                       SLOT(screenLockerActiveChanged(bool)));
    return watching;
}

bool CAutoLock::watchSleep(const QDBusConnection& bus) {
    if (!bus.isConnected())
        return false;
    QDBusConnection connection(bus);
    return connection.connect(QStringLiteral("org.freedesktop.login1"),
                              QStringLiteral("/org/freedesktop/login1"),
                              QStringLiteral("org.freedesktop.login1.Manager"),
                              QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
}

void CAutoLock::checkIdle() {
    const int minutes = AppSettings::current().idleLockMinutes;
    if (minutes > 0 && m_clock() - m_lastInput >= std::int64_t(minutes) * 60 * 1000)
        requestLock();
}

bool CAutoLock::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
        m_lastInput = m_clock();
        break;
    default:
        break;
    }
    return false;
}

void CAutoLock::screenLockerActiveChanged(bool active) {
    if (active && AppSettings::current().lockWithScreen)
        requestLock();
}

void CAutoLock::prepareForSleep(bool start) {
    if (start)
        requestLock();
}

void CAutoLock::requestLock() {
    // The idle time starts again: the window is locked now, and one request is enough.
    m_lastInput = m_clock();
    emit lockRequested();
}
