#pragma once

#include "ui/PageImpl.h"

#include <QIcon>
#include <array>
#include <vector>

class CLabelEditListView;
class COtpToken;
class QLineEdit;
class QTreeWidgetItem;

// Page 133: the tokens of the store in store order, those the filter box lets through; each row
// holds its store position. The user makes a token the default (Default, or a double click that
// also shows the OTP page), renames it in place (Edit) and deletes the selected tokens (Delete or
// the Delete key, after one question).
class CManagerPage : public CDialogPageImpl<CManagerPage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::Manager;
    static constexpr int IDC_LIST = 1011;
    static constexpr int IDC_DEFAULT = 1014;
    static constexpr int IDC_EDIT = 104;
    static constexpr int IDC_DELETE = 1015;
    static constexpr int IDC_FILTER = 1016;

    // The row images: the default token's row shows icon 226, every other row icon 227.
    static constexpr int ImageToken = 0;
    static constexpr int ImageDefault = 1;
    static constexpr int IconToken = 227;
    static constexpr int IconDefault = 226;
    // The item data role that holds a row's image number.
    static constexpr int ImageRole = Qt::UserRole + 1;
    // The item data role that holds a row's store position.
    static constexpr int PositionRole = Qt::UserRole + 2;

    bool PreTranslateMessage(QObject* receiver, QEvent* event) override;
    void OnShow(const PageArgs& args) override;
    void onCommand(int id, int notifyCode) override;

    CLabelEditListView* list() const { return m_list; }
    QLineEdit* filterBox() const { return m_filter; }
    // Whether the filter text (trimmed, not empty) is in the label, application or serial,
    // ignoring case.
    static bool passesFilter(const COtpToken& token, const QString& filter);
    // The image number a row shows, or -1 for no such row.
    int rowImage(int row) const;

    // LVN_ENDLABELEDIT for a committed edit of `row`: the token's new label, saved, and true (the
    // row then shows the text), also when the row's token has gone. A blank text is refused.
    bool onEndLabelEdit(int row, const QString& text);
    // NM_DBLCLK on a row: that token becomes the default and the OTP page shows it.
    void onDoubleClick(int row);

private:
    friend class CPageImpl<CManagerPage>;
    friend class CDialogPageImpl<CManagerPage>;
    void OnInitDialog();
    QWidget* createControl(const resources::DialogItem& item, QWidget* parent);

    void makeDefault();
    void editLabel();
    // The button asks the question of old; the Delete key names the token or counts them.
    enum Question { PlainQuestion, NamedQuestion };
    void deleteSelected(Question question);
    QString deleteQuestion(Question question, const std::vector<int>& positions) const;
    void fill();
    int positionOf(int row) const;
    void setRowImage(int row, int image);
    void showImage(QTreeWidgetItem* row, int image);
    // Default, Edit and Delete act on the selection: enabled while there is one.
    void updateButtons();
    void setTitle(const QString& text);

    CLabelEditListView* m_list = nullptr;
    QLineEdit* m_filter = nullptr;
    std::array<QIcon, 2> m_images;
};
