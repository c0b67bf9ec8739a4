#pragma once

#include <QList>
#include <QString>
#include <optional>

class QWidget;

// The open-file dialog of the pages: one file that exists, picked through a list of filters.
// Tests name the next file instead of showing the dialog.
class COpenFileDialog {
public:
    struct Filter {
        QString text;    // what the user reads, e.g. "CSV files (*.csv)"
        QString pattern; // what it matches, e.g. "*.csv"
    };

    // Shows the dialog modally over `owner`; the chosen path, or an empty text when the user
    // cancels. `defaultSuffix` (without the dot) is added to a typed name that has none.
    static QString getOpenFileName(QWidget* owner, const QList<Filter>& filters,
                                   const QString& defaultSuffix);

    // Test hook: the next dialog is not shown and returns `path` (an empty text: cancelled).
    static void setNextFileName(std::optional<QString> path);

    struct Record {
        QList<Filter> filters;
        QString defaultSuffix;
    };
    // The dialogs answered by the hook, oldest first.
    static QList<Record> answered();
    static void clearAnswered();
};
