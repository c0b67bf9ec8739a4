#include "ui/PageWidget.h"

#include "ui/SurfacePainter.h"

#include <QCoreApplication>
#include <QResizeEvent>

namespace {

// A command posted to a window, as PostMessage(WM_COMMAND) does.
class CommandEvent : public QEvent {
public:
    static constexpr QEvent::Type Kind = QEvent::Type(QEvent::User + 0x0111);
    explicit CommandEvent(int id) : QEvent(Kind), commandId(id) {}
    int commandId;
};

} // namespace

CPageWidget::CPageWidget() {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPageWidget::onCommand(int, int) {}

void CPageWidget::postCommand(int id) {
    QCoreApplication::postEvent(this, new CommandEvent(id));
}

void CPageWidget::paintEvent(QPaintEvent*) {
    paintThroughSurface(*this, [this](Surface& dc) { EraseBackground(dc); }, palette().color(backgroundRole()));
}

void CPageWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_resize.DlgResize_UpdateLayout(event->size());
}

bool CPageWidget::event(QEvent* event) {
    if (event->type() == CommandEvent::Kind) {
        onCommand(static_cast<CommandEvent*>(event)->commandId, BN_CLICKED);
        return true;
    }
    return QWidget::event(event);
}
