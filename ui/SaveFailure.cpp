#include "ui/SaveFailure.h"

#include "resources/StringTable.h"
#include "ui/MessageBox.h"

#include <QFile>
#include <QString>

void reportSaveFailure(QWidget* owner, const SaveResult& result) {
    const QString text =
        QString::fromStdU16String(std::u16string(resources::loadString(resources::ids::IDS_SAVE_FAILED)))
            .arg(QFile::decodeName(QByteArray::fromStdString(result.path)),
                 QString::fromStdString(result.reason()));
    MessageBox::show(owner, text, MessageBox::Error);
}

void reportFileTooLarge(QWidget* owner, const std::string& path) {
    const std::u16string format(resources::loadString(resources::ids::IDS_FILE_TOO_LARGE));
    const QString file = QFile::decodeName(QByteArray::fromStdString(path));
    MessageBox::show(owner, QString::fromStdU16String(format).arg(file), MessageBox::Error);
}

void reportDatabaseLinkBroken(QWidget* owner, const std::string& path, const std::string& target) {
    const std::u16string format(resources::loadString(resources::ids::IDS_DATABASE_LINK_BROKEN));
    const QString text = QString::fromStdU16String(format).arg(QFile::decodeName(QByteArray::fromStdString(path)),
                                                               QFile::decodeName(QByteArray::fromStdString(target)));
    MessageBox::show(owner, text, MessageBox::Error);
}

void reportPackSaveFailure(QWidget* owner, const PackOutcome& outcome) {
    if (outcome == PackInstalled && !outcome.saved)
        reportSaveFailure(owner, outcome.saved);
}

bool saveOrReport(QWidget* owner, CTokenDB& store) {
    const SaveResult saved = store.save();
    if (!saved)
        reportSaveFailure(owner, saved);
    return bool(saved);
}

bool makeCurrentAndSave(QWidget* owner, CTokenDB& store, int index) {
    store.setDefaultIndex(index);
    return saveOrReport(owner, store);
}

bool saveCodeCounter(QWidget* owner, CTokenDB& store, COtpToken& token, std::int64_t counterBefore) {
    if (saveOrReport(owner, store) || token.counter == counterBefore)
        return true;
    token.counter = counterBefore;
    return false;
}
