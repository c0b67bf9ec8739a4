#include "app/Application.h"

#include <QApplication>
#include <cstdlib>

namespace {

// Start-up measurement (bench/app): with VALDORIX_EXIT_AFTER_FIRST_PAINT set, the process ends as
// soon as the first page has painted, so launch-to-page can be timed from outside.
class FirstPaintExit : public QObject {
public:
    using QObject::QObject;

private:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->inherits("CPageWidget"))
            QMetaObject::invokeMethod(
                this, [] { std::_Exit(0); }, Qt::QueuedConnection);
        return false;
    }
};

void exitAfterFirstPaint() {
    if (qEnvironmentVariableIsSet("VALDORIX_EXIT_AFTER_FIRST_PAINT"))
        qApp->installEventFilter(new FirstPaintExit(qApp));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(exitAfterFirstPaint)

int main(int argc, char** argv) {
    return runValdorix(argc, argv);
}
