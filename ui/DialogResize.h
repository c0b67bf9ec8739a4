#pragma once

#include <QList>
#include <QRect>
#include <QSize>

class QWidget;

// Keeps controls placed relative to the edges of their dialog as it grows: a control can grow
// with the width or height, or keep its distance to the right or bottom edge.
class CDialogResize {
public:
    enum Flag {
        SizeX = 1,
        SizeY = 2,
        MoveX = 4,
        MoveY = 8,
    };
    struct Entry {
        int id;
        int flags;
    };

    // Records the dialog's current size and each listed control's current rectangle.
    void DlgResize_Init(QWidget* dialog, QList<Entry> map);
    // Re-places the listed controls for the dialog's new size; only the edges a flag names change.
    void DlgResize_UpdateLayout(const QSize& newSize);
    bool isInitialised() const { return m_dialog != nullptr; }

private:
    struct Recorded {
        int id;
        int flags;
        QRect rect;
    };
    QWidget* m_dialog = nullptr;
    QSize m_size;
    QList<Recorded> m_items;
};
