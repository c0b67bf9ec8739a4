#include "ui/SaveFileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {

std::optional<QString> g_nextFileName;
QList<CSaveFileDialog::Record> g_answered;

} // namespace

QString CSaveFileDialog::withSuffix(const QString& path, const QString& suffix) {
    if (path.isEmpty() || suffix.isEmpty() || QFileInfo(path).fileName().contains(QLatin1Char('.')))
        return path;
    return path + QLatin1Char('.') + suffix;
}

QString CSaveFileDialog::getSaveFileName(QWidget* owner, const QString& filterText, const QString& suffix,
                                         const QString& suggestedName) {
    if (g_nextFileName) {
        const QString path = *g_nextFileName;
        g_nextFileName.reset();
        g_answered.append({filterText, suffix, suggestedName});
        return withSuffix(path, suffix);
    }

    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filterText);
    // Qt's own suffix rule, so the overwrite question names the file that will be written.
    dialog.setDefaultSuffix(suffix);
    dialog.setDirectory(QDir::home());
    dialog.selectFile(suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().front();
}

void CSaveFileDialog::setNextFileName(std::optional<QString> path) {
    g_nextFileName = std::move(path);
}

QList<CSaveFileDialog::Record> CSaveFileDialog::answered() {
    return g_answered;
}

void CSaveFileDialog::clearAnswered() {
    g_answered.clear();
}
