#pragma once

#include <QString>

class QWidget;

// Puts `text` on the clipboard as Unicode text. Failures are silent: there is nothing the user
// could do about them.
void copyToClipboard(QWidget* owner, const QString& text);
