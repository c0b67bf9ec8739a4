#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class QWidget;

// Codes leave the window the way a password manager lets secrets go: marked for clipboard
// managers and history tools to skip, and taken off the clipboard again after the delay of the
// settings, on lock and at exit, but only while the clipboard still holds that code, so whatever
// the user copied since stays.
class CCodeClipboard : public QObject {
    Q_OBJECT

public:
    // The MIME type and value that clipboard managers honour.
    static constexpr char SecretHintType[] = "x-kde-passwordManagerHint";
    static constexpr char SecretHintValue[] = "secret";

    // The one instance, owned by the application object.
    static CCodeClipboard& instance();
    // Clears the clipboard now when it still holds the last code copied; nothing when no code
    // was ever copied.
    static void clearNow();

    // Puts `code` on the clipboard as text with the secret hint; an empty code changes nothing.
    void copy(const QString& code);
    // Takes the last code copied off the clipboard if it is still there.
    void clear();

    // The clearing that waits; inactive with a delay of 0 or nothing copied.
    QTimer& clearTimer() { return m_timer; }

private:
    explicit CCodeClipboard(QObject* parent);

    QTimer m_timer;
    QString m_code;
};

// What Copy and Ctrl+C do on a page: `text` is the code (or other secret) shown, empty when
// there is none.
void copyToClipboard(QWidget* owner, const QString& text);
