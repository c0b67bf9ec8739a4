#include "otp/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

void copyToClipboard(QWidget*, const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    clipboard->setText(text, QClipboard::Clipboard);
}
