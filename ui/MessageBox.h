#pragma once

#include <QList>
#include <QString>
#include <optional>

class QWidget;

// The one message box of the system: the product name as caption, the icon by kind, owned by
// the page that shows it. Tests answer boxes through the hooks instead of showing them.
class MessageBox {
public:
    enum Icon { Error, Information, Question };
    enum Buttons { Ok, YesNo }; // Yes/No boxes have No as the default button
    static constexpr int IDOK = 1;
    static constexpr int IDYES = 6;
    static constexpr int IDNO = 7;

    // Shows the box modally over `owner` and returns the button chosen (IDOK, IDYES or IDNO).
    static int show(QWidget* owner, const QString& text, Icon icon, Buttons buttons = Ok);
    // The same with the text of a string resource.
    static int show(QWidget* owner, int stringId, Icon icon, Buttons buttons = Ok);

    // Test hooks. The next box is answered with `answer` and not shown.
    static void setNextAnswer(int answer);
    // Every box is answered with `answer` and not shown, until called with nullopt.
    static void setAnswerForAll(std::optional<int> answer);

    struct Record {
        QString caption;
        QString text;
        Icon icon;
        Buttons buttons;
    };
    // The boxes answered by the hooks, oldest first.
    static QList<Record> answered();
    static void clearAnswered();
};
