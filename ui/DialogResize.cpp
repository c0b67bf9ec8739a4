#include "ui/DialogResize.h"

#include "ui/DialogBuilder.h"

#include <QWidget>

void CDialogResize::DlgResize_Init(QWidget* dialog, QList<Entry> map) {
    m_dialog = dialog;
    m_size = dialog->size();
    m_items.clear();
    for (const Entry& entry : map) {
        if (QWidget* control = dlgItem(dialog, entry.id))
            m_items.append({entry.id, entry.flags, control->geometry()});
    }
}

void CDialogResize::DlgResize_UpdateLayout(const QSize& newSize) {
    if (!m_dialog)
        return;
    const int dx = newSize.width() - m_size.width();
    const int dy = newSize.height() - m_size.height();
    for (const Recorded& item : m_items) {
        QWidget* control = dlgItem(m_dialog, item.id);
        if (!control)
            continue;
        // Start from where the control is now, so changes made after the recording (an edit
        // box made less tall) survive on the edges no flag names.
        QRect rect = control->geometry();
        if (item.flags & (SizeX | MoveX)) {
            const int right = item.rect.right() + dx;
            const int left = (item.flags & MoveX) ? right - item.rect.width() + 1 : rect.left();
            rect.setLeft(left);
            rect.setRight(right);
        }
        if (item.flags & (SizeY | MoveY)) {
            const int bottom = item.rect.bottom() + dy;
            const int top = (item.flags & MoveY) ? bottom - item.rect.height() + 1 : rect.top();
            rect.setTop(top);
            rect.setBottom(bottom);
        }
        control->setGeometry(rect);
    }
}
