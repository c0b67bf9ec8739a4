#pragma once

#include <QList>
#include <QString>
#include <optional>

class QWidget;

// The save-file dialog of the pages: a name to write, one filter, the suffix added when the name
// has none, and the system's question before a file is replaced. Tests name the next file instead
// of showing the dialog.
class CSaveFileDialog {
public:
    // Shows the dialog modally over `owner`, starting at `suggestedName`; the chosen path, or an
    // empty text when the user cancels. `suffix` (without the dot) is added to a name without one.
    static QString getSaveFileName(QWidget* owner, const QString& filterText, const QString& suffix,
                                   const QString& suggestedName);

    // Test hook: the next dialog is not shown and returns `path` (an empty text: cancelled); the
    // suffix rule still applies.
    static void setNextFileName(std::optional<QString> path);

    struct Record {
        QString filterText;
        QString suffix;
        QString suggestedName;
    };
    // The dialogs answered by the hook, oldest first.
    static QList<Record> answered();
    static void clearAnswered();

    // `path`, with `.suffix` added when its file name has no extension.
    static QString withSuffix(const QString& path, const QString& suffix);
};
