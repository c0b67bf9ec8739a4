#pragma once

#include <QFrame>
#include <QPointer>

class QLineEdit;
class QListWidget;
class CValdorixTokenDB;

// The token picker of the OTP page: a small popup with a filter box over the list of token
// names. Choosing a token makes it the default, saves the store and posts WM_TOKENCHANGED to the
// owner; a click elsewhere (the picker loses activation) or Esc just hides it.
class CSelectTokenWindow : public QFrame {
    Q_OBJECT

public:
    static constexpr int IDC_FILTER = 104;
    static constexpr int IDC_LIST = 1011;
    static constexpr int Width = 150;
    static constexpr int Height = 200;

    // `owner` receives WM_TOKENCHANGED; `filterHeight` is 14 dialog units of the owner in pixels.
    CSelectTokenWindow(QWidget* owner, CValdorixTokenDB& store, int filterHeight);

    // Shows the picker with its top-left corner at `screenPos`, moved in as far as it must to
    // stay inside the screen's available area; a picker that was hidden starts over with an
    // empty filter and every token.
    void open(const QPoint& screenPos);
    // Every token, an empty filter, the first item selected, the focus in the filter box.
    void reset();
    // Makes the selected token the default; nothing when the list is empty.
    void choose();

    // Whether a token named `text` passes `filter`: case-insensitive; one word matches anywhere,
    // several words match word by word.
    static bool matches(const QString& text, const QString& filter);

    QLineEdit* filterBox() const { return m_filter; }
    QListWidget* listBox() const { return m_list; }
    QWidget* owner() const { return m_owner; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    void fill(const QString& filter);
    void fitHeight();
    void keepOnScreen(const QPoint& screenPos);
    void layoutChildren();

    QPointer<QWidget> m_owner;
    CValdorixTokenDB& m_store;
    QLineEdit* m_filter = nullptr;
    QListWidget* m_list = nullptr;
    int m_filterHeight = 0;
};
