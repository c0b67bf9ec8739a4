#include "ui/AppSettings.h"

#include <QDir>
#include <QSettings>
#include <optional>

namespace {

const QString kClipboardKey = QStringLiteral("Clipboard/ClearAfterSeconds");
const QString kIdleKey = QStringLiteral("Lock/IdleMinutes");
const QString kScreenKey = QStringLiteral("Lock/WithScreen");

std::optional<AppSettings>& cached() {
    static std::optional<AppSettings> settings;
    return settings;
}

int readBounded(const QSettings& file, const QString& key, int fallback, int maximum) {
    bool ok = false;
    const int value = file.value(key).toInt(&ok);
    return ok && value >= 0 && value <= maximum ? value : fallback;
}

AppSettings readFile() {
    const QSettings file(AppSettings::filePath(), QSettings::IniFormat);
    AppSettings settings;
    settings.clipboardClearSeconds =
        readBounded(file, kClipboardKey, settings.clipboardClearSeconds, AppSettings::MaxClipboardSeconds);
    settings.idleLockMinutes =
        readBounded(file, kIdleKey, settings.idleLockMinutes, AppSettings::MaxIdleMinutes);
    const QVariant screen = file.value(kScreenKey);
    if (screen.isValid())
        settings.lockWithScreen = screen.toBool();
    return settings;
}

} // namespace

QString AppSettings::filePath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Valdorix/Valdorix.conf");
}

const AppSettings& AppSettings::current() {
    if (!cached())
        cached() = readFile();
    return *cached();
}

void AppSettings::reload() {
    cached() = readFile();
}

bool AppSettings::store(const AppSettings& settings) {
    cached() = settings;
    QSettings file(filePath(), QSettings::IniFormat);
    file.setValue(kClipboardKey, settings.clipboardClearSeconds);
    file.setValue(kIdleKey, settings.idleLockMinutes);
    file.setValue(kScreenKey, settings.lockWithScreen);
    file.sync();
    return file.status() == QSettings::NoError;
}
