#include "ui/PageWidget.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
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
    QImage image(size(), QImage::Format_RGB32);
    image.fill(palette().color(backgroundRole()));
    Surface dc(reinterpret_cast<std::uint32_t*>(image.bits()), image.width(), image.height(),
               int(image.bytesPerLine() / 4));
    EraseBackground(dc);
    QPainter painter(this);
    painter.drawImage(0, 0, image);
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
