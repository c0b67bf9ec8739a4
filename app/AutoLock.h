#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

class QDBusConnection;

// Asks for the window to lock when its user has gone: after the idle time of the settings
// without a key press, click or wheel turn in the program, when the desktop's screen locker
// starts (if the settings say so), and before the machine sleeps. The desktop's signals come
// over D-Bus; without a bus only the idle time counts.
class CAutoLock : public QObject {
    Q_OBJECT

public:
    // Milliseconds on a clock that never goes back; tests hand their own.
    using Clock = std::function<std::int64_t()>;
    static constexpr int CheckMilliseconds = 5000;

    explicit CAutoLock(QObject* parent = nullptr, Clock clock = {});
    ~CAutoLock() override;

    // org.freedesktop.ScreenSaver (and GNOME's) ActiveChanged on `bus`, normally the session bus.
    // False when the bus is not connected.
    bool watchScreenLocker(const QDBusConnection& bus);
    // org.freedesktop.login1 PrepareForSleep on `bus`, normally the system bus.
    bool watchSleep(const QDBusConnection& bus);

    // Asks for the lock when the idle time has run out since the last input; a timer calls it.
    void checkIdle();

signals:
    void lockRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    // Old-style slots: QtDBus connects signals by name only.
    void screenLockerActiveChanged(bool active);
    void prepareForSleep(bool start);

private:
    void requestLock();

    Clock m_clock;
    std::int64_t m_lastInput = 0;
    QTimer m_check;
};
