// When the window locks by itself: idle time on a test clock, and the desktop's D-Bus signals on
// a private session bus of the test's own.
#include "app/AutoLock.h"

#include "ui/AppSettings.h"
#include "tests/QtTestApplication.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class AutoLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApplication();
        ASSERT_TRUE(m_config.isValid());
        m_savedConfigHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        AppSettings::reload();
    }
    void TearDown() override {
        qputenv("XDG_CONFIG_HOME", m_savedConfigHome);
        AppSettings::reload();
    }

    static void useSettings(int idleMinutes, bool withScreen) {
        AppSettings settings;
        settings.idleLockMinutes = idleMinutes;
        settings.lockWithScreen = withScreen;
        ASSERT_TRUE(AppSettings::store(settings));
    }

    std::int64_t m_now = 1000000; // milliseconds on the test clock
    CAutoLock::Clock clock() {
        return [this] { return m_now; };
    }

private:
    QTemporaryDir m_config;
    QByteArray m_savedConfigHome;
};

TEST_F(AutoLockTest, IdleTimeCountsFromTheLastInputAndZeroMeansNever) {
    struct Case {
        const char* what;
        int idleMinutes;
        std::int64_t inputAfterMs; // -1: none
        std::int64_t checkAfterMs;
        bool locks;
    };
    const Case cases[] = {
        {"a second short", 10, -1, 599999, false},
        {"ten minutes", 10, -1, 600000, true},
        {"a key press restarts the count", 10, 300000, 600000, false},
        {"ten minutes after the key press", 10, 300000, 900000, true},
        {"never", 0, -1, 100 * 60000, false},
    };
    QWidget target;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        useSettings(c.idleMinutes, true);
        const std::int64_t start = m_now;
        CAutoLock autoLock(nullptr, clock());
        QSignalSpy locks(&autoLock, &CAutoLock::lockRequested);
        if (c.inputAfterMs >= 0) {
            m_now = start + c.inputAfterMs;
            QTest::keyClick(&target, Qt::Key_A);
        }
        m_now = start + c.checkAfterMs;
        autoLock.checkIdle();
        EXPECT_EQ(locks.count(), c.locks ? 1 : 0);
        // Once asked, the count starts again.
        autoLock.checkIdle();
        EXPECT_EQ(locks.count(), c.locks ? 1 : 0);
    }
}

// A session bus of the test's own: dbus-daemon on a private address.
class AutoLockBusTest : public AutoLockTest {
protected:
    void SetUp() override {
        AutoLockTest::SetUp();
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            GTEST_SKIP() << "dbus-daemon is missing: the D-Bus signals are not tested";
        m_daemon.start(
            QStringLiteral("dbus-daemon"),
            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        ASSERT_TRUE(m_daemon.waitForStarted());
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_daemon.canReadLine(); }, 10000));
        const QString address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        m_listener = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("listener")));
        m_sender = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("sender")));
        ASSERT_TRUE(m_listener->isConnected());
        ASSERT_TRUE(m_sender->isConnected());
    }
    void TearDown() override {
        m_listener.reset();
        m_sender.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("listener"));
        QDBusConnection::disconnectFromBus(QStringLiteral("sender"));
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.kill();
            m_daemon.waitForFinished();
        }
        AutoLockTest::TearDown();
    }

    void emitSignal(const QString& path, const QString& interface, const QString& name, bool value) {
        QDBusMessage message = QDBusMessage::createSignal(path, interface, name);
        message << value;
        ASSERT_TRUE(m_sender->send(message));
    }

    QProcess m_daemon;
    std::unique_ptr<QDBusConnection> m_listener;
    std::unique_ptr<QDBusConnection> m_sender;
};

TEST_F(AutoLockBusTest, TheScreenLockerAndSuspendLock) {
    struct Case {
        const char* what;
        bool withScreen;
        const char* path;
        const char* interface;
        const char* name;
        bool value;
        bool locks;
    };
    const Case cases[] = {
        {"screen locked", true, "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver",
         "ActiveChanged", true, true},
        {"screen locked, elsewhere", true, "/ScreenSaver", "org.freedesktop.ScreenSaver", "ActiveChanged",
         true, true},
        {"screen unlocked", true, "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver",
         "ActiveChanged", false, false},
        {"screen locked, not wanted", false, "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver",
         "ActiveChanged", true, false},
        {"before suspend", false, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
         "PrepareForSleep", true, true},
        {"after resume", true, "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep",
         false, false},
    };
    // The sleep signal counts only from its owner.
    ASSERT_TRUE(m_sender->registerService(QStringLiteral("org.freedesktop.login1")));
    CAutoLock autoLock(nullptr, clock());
    ASSERT_TRUE(autoLock.watchScreenLocker(*m_listener));
    ASSERT_TRUE(autoLock.watchSleep(*m_listener));
    QSignalSpy locks(&autoLock, &CAutoLock::lockRequested);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        useSettings(10, c.withScreen);
        locks.clear();
        emitSignal(QString::fromLatin1(c.path), QString::fromLatin1(c.interface), QString::fromLatin1(c.name),
                   c.value);
        // A marker signal that always locks comes after it: once it is in, the first has been seen.
        emitSignal(QStringLiteral("/org/freedesktop/login1"),
                   QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), true);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return !locks.isEmpty() && locks.count() >= (c.locks ? 2 : 1); }, 10000));
        QCoreApplication::processEvents();
        EXPECT_EQ(locks.count(), c.locks ? 2 : 1);
    }
}

TEST_F(AutoLockTest, NoBusNoWatching) {
    CAutoLock autoLock(nullptr, clock());
    const QDBusConnection none =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("none"));
    EXPECT_FALSE(autoLock.watchScreenLocker(none));
    EXPECT_FALSE(autoLock.watchSleep(none));
    QDBusConnection::disconnectFromBus(QStringLiteral("none"));
}

} // namespace
