#include "ui/SecretClipboard.h"

#include "ui/AppSettings.h"
#include "ui/Wipe.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>

namespace {
QPointer<CCodeClipboard> g_instance;
} // namespace

CCodeClipboard::CCodeClipboard(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CCodeClipboard::clear);
}

CCodeClipboard& CCodeClipboard::instance() {
    if (!g_instance)
        g_instance = new CCodeClipboard(QCoreApplication::instance());
    return *g_instance;
}

void CCodeClipboard::clearNow() {
    if (g_instance)
        g_instance->clear();
}

void CCodeClipboard::copy(const QString& code) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (code.isEmpty() || !clipboard)
        return;
    auto* data = new QMimeData;
    data->setText(code);
    data->setData(QString::fromLatin1(SecretHintType), QByteArray(SecretHintValue));
    clipboard->setMimeData(data, QClipboard::Clipboard);
    m_code = code;
    const int seconds = AppSettings::current().clipboardClearSeconds;
    if (seconds > 0)
        m_timer.start(seconds * 1000);
    else
        m_timer.stop();
}

void CCodeClipboard::clear() {
    m_timer.stop();
    if (m_code.isEmpty())
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard && clipboard->text(QClipboard::Clipboard) == m_code)
        clipboard->clear(QClipboard::Clipboard);
    wipe(m_code);
}

void copyToClipboard(QWidget*, const QString& text) {
    CCodeClipboard::instance().copy(text);
}
