#pragma once

#include "ui/PageImpl.h"

#include <QIcon>
#include <array>

class CLabelEditListView;
class QTreeWidgetItem;

// Page 133: every token of the store in store order, so a row is a store position. The user
// makes a token the default (Default, or a double click that also shows the OTP page), renames
// it in place (Edit) and deletes the selected tokens (Delete, after one question).
class CManagerPage : public CDialogPageImpl<CManagerPage> {
    Q_OBJECT

public:
    static constexpr int IDD = 133;
    static constexpr int IDC_LIST = 1011;
    static constexpr int IDC_DEFAULT = 1014;
    static constexpr int IDC_EDIT = 104;
    static constexpr int IDC_DELETE = 1015;

    // The row images: the default token's row shows icon 226, every other row icon 227.
    static constexpr int ImageToken = 0;
    static constexpr int ImageDefault = 1;
    static constexpr int IconToken = 227;
    static constexpr int IconDefault = 226;
    // The item data role that holds a row's image number.
    static constexpr int ImageRole = Qt::UserRole + 1;

    bool PreTranslateMessage(QObject* receiver, QEvent* event) override;
    void OnShow(const PageArgs& args) override;
    void onCommand(int id, int notifyCode) override;

    CLabelEditListView* list() const { return m_list; }
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
    void deleteSelected();
    void setRowImage(int row, int image);
    // Default, Edit and Delete act on the selection: enabled while there is one.
    void updateButtons();
    void setTitle(const QString& text);

    CLabelEditListView* m_list = nullptr;
    std::array<QIcon, 2> m_images;
};
