// The anchor of the start-up measurement: about the least a Qt Widgets program with a menu bar
// and a few edit boxes does before its first paint. With VALDORIX_EXIT_AFTER_FIRST_PAINT set it
// ends right after its window's content has painted, as the real program does with its first page.
#include <QApplication>
#include <QFormLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <cstdlib>

namespace {

class FirstPaintExit : public QObject {
public:
    FirstPaintExit(QWidget* watched, QObject* parent) : QObject(parent), m_watched(watched) {}

private:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched == m_watched)
            QMetaObject::invokeMethod(
                this, [] { std::_Exit(0); }, Qt::QueuedConnection);
        return false;
    }
    QWidget* m_watched;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Minimal"));

    QMenu* file = window.menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Open..."));
    file->addAction(QStringLiteral("&Save"));
    file->addSeparator();
    file->addAction(QStringLiteral("E&xit"), &app, &QApplication::quit);
    QMenu* help = window.menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("&About"));

    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    form->addRow(QStringLiteral("&Name:"), new QLineEdit);
    form->addRow(QStringLiteral("&Serial:"), new QLineEdit);
    auto* pin = new QLineEdit;
    pin->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("&PIN:"), pin);
    form->addRow(new QPushButton(QStringLiteral("OK")));
    window.setCentralWidget(page);

    if (qEnvironmentVariableIsSet("VALDORIX_EXIT_AFTER_FIRST_PAINT"))
        app.installEventFilter(new FirstPaintExit(page, &app));
    window.show();
    return QApplication::exec();
}
