#include "ui/OpenFileDialog.h"

#include <QFileDialog>
#include <QFileInfo>

namespace {

std::optional<QString> g_nextFileName;
QList<COpenFileDialog::Record> g_answered;

// Qt reads a filter's patterns from its last parentheses. With the details hidden it shows the
// text before them, so the user reads the filter's own text while Qt matches its pattern ("*.*"
// would otherwise hide every file without an extension).
QString qtFilter(const COpenFileDialog::Filter& filter) {
    return filter.text + QStringLiteral(" (") + filter.pattern + QLatin1Char(')');
}

// The default extension is added only to a name without one that does not exist as it stands.
// (Qt's own default suffix is added to every such name, so a file without an extension could not
// be opened at all.)
QString withDefaultSuffix(const QString& path, const QString& suffix) {
    const QFileInfo info(path);
    if (suffix.isEmpty() || info.exists() || info.fileName().contains(QLatin1Char('.')))
        return path;
    const QString withSuffix = path + QLatin1Char('.') + suffix;
    return QFileInfo::exists(withSuffix) ? withSuffix : path;
}

} // namespace

QString COpenFileDialog::getOpenFileName(QWidget* owner, const QList<Filter>& filters,
                                         const QString& defaultSuffix) {
    if (g_nextFileName) {
        QString path = *g_nextFileName;
        g_nextFileName.reset();
        g_answered.append({filters, defaultSuffix});
        return path;
    }

    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name comes back as typed, as from the system's open dialog; the import reports a
    // file it cannot read.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    QStringList nameFilters;
    for (const Filter& filter : filters)
        nameFilters.append(qtFilter(filter));
    dialog.setNameFilters(nameFilters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return withDefaultSuffix(dialog.selectedFiles().front(), defaultSuffix);
}

void COpenFileDialog::setNextFileName(std::optional<QString> path) {
    g_nextFileName = std::move(path);
}

QList<COpenFileDialog::Record> COpenFileDialog::answered() {
    return g_answered;
}

void COpenFileDialog::clearAnswered() {
    g_answered.clear();
}
