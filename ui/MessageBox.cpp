#include "ui/MessageBox.h"

#include "resources/StringTable.h"

#include <QMessageBox>

namespace {

std::optional<int> g_nextAnswer;
std::optional<int> g_answerForAll;
QList<MessageBox::Record> g_answered;

QString productCaption() {
    return QString::fromStdU16String(std::u16string(resources::loadString(resources::ids::IDS_PRODUCT)));
}

} // namespace

int MessageBox::show(QWidget* owner, const QString& text, Icon icon, Buttons buttons) {
    const QString caption = productCaption();
    std::optional<int> answer = g_nextAnswer ? g_nextAnswer : g_answerForAll;
    if (answer) {
        g_nextAnswer.reset();
        g_answered.append({caption, text, icon, buttons});
        return *answer;
    }

    QMessageBox box(owner);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setIcon(icon == Error         ? QMessageBox::Critical
                : icon == Information ? QMessageBox::Information
                                      : QMessageBox::Question);
    if (buttons == YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? IDYES : IDNO;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return IDOK;
}

int MessageBox::show(QWidget* owner, int stringId, Icon icon, Buttons buttons) {
    return show(owner, QString::fromStdU16String(std::u16string(resources::loadString(stringId))), icon,
                buttons);
}

void MessageBox::setNextAnswer(int answer) {
    g_nextAnswer = answer;
}

void MessageBox::setAnswerForAll(std::optional<int> answer) {
    g_answerForAll = answer;
}

QList<MessageBox::Record> MessageBox::answered() {
    return g_answered;
}

void MessageBox::clearAnswered() {
    g_answered.clear();
}
