#include "shell/OpenFileDialog.h"

#include <QFileDialog>

namespace {

std::optional<QString> g_nextFileName;
QList<COpenFileDialog::Record> g_answered;

// Qt reads a filter's patterns from its last parentheses. With the details hidden it shows the
// text before them, so the user reads the filter's own text while Qt matches its pattern ("*.*"
// would otherwise hide every file without an extension).
QString qtFilter(const COpenFileDialog::Filter& filter) {
    return filter.text + QStringLiteral(" (") + filter.pattern + QLatin1Char(')');
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
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setDefaultSuffix(defaultSuffix);
    QStringList nameFilters;
    for (const Filter& filter : filters)
        nameFilters.append(qtFilter(filter));
    dialog.setNameFilters(nameFilters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().front();
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
