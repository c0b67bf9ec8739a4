#pragma once

#include <QString>

// The user's own choices, kept with QSettings in "$XDG_CONFIG_HOME/Valdorix/Valdorix.conf"
// (else "$HOME/.config/..."). A missing file, key or out-of-range value gives the default.
struct AppSettings {
    static constexpr int MaxClipboardSeconds = 3600;
    static constexpr int MaxIdleMinutes = 1440;

    int clipboardClearSeconds = 30; // a copied code leaves the clipboard after this; 0: never
    int idleLockMinutes = 10;       // the window locks after this long without input; 0: never
    bool lockWithScreen = true;     // lock when the desktop's screen locker starts

    bool operator==(const AppSettings&) const = default;

    // The file, recomputed at each call so tests can point XDG_CONFIG_HOME elsewhere.
    static QString filePath();
    // The settings as last read or stored; the file is read on first use only.
    static const AppSettings& current();
    // Reads the file again.
    static void reload();
    // Writes them to the file and makes them current; false when the file cannot be written
    // (they are current all the same, for this run).
    static bool store(const AppSettings& settings);
};
