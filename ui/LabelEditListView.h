#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QTreeWidget>
#include <functional>
#include <vector>

// A list view in report mode (list 1011 of the token pages): full-row selection, small images,
// and, when asked for, in-place editing of the first column. A committed edit goes to the owner's
// end-of-edit handler first, as LVN_ENDLABELEDIT does: the new text shows only when it accepts.
// A cancelled edit (Esc) never reaches the handler.
class CLabelEditListView : public QTreeWidget {
    Q_OBJECT

public:
    using EndLabelEdit = std::function<bool(int row, const QString& text)>;

    // `style` is the template item's style: LVS_SINGLESEL and LVS_EDITLABELS are honoured.
    CLabelEditListView(QWidget* parent, unsigned style);

    bool labelEditing() const { return m_labelEditing; }
    // Only lists made with LVS_EDITLABELS edit at all; this can switch editing off on them.
    void setLabelEditing(bool on);
    void setEndLabelEditHandler(EndLabelEdit handler) { m_endLabelEdit = std::move(handler); }

    // A row with these texts, one per column, appended at the end.
    QTreeWidgetItem* appendRow(const QStringList& texts);
    // The same row, not yet in the list: many go in at once with addTopLevelItems.
    QTreeWidgetItem* makeRow(const QStringList& texts) const;
    // The selected rows, in ascending order.
    std::vector<int> selectedRows() const;
    // LVNI_SELECTED searched from the top: the lowest selected row, or -1.
    int firstSelectedRow() const;
    // LVM_EDITLABEL: starts editing the first column of `row`; false when it cannot.
    bool editLabel(int row);
    // The box of the edit in progress, or null.
    QLineEdit* labelEditor() const { return m_editor; }
    bool isEditingLabel() const { return m_editor != nullptr; }
    // Ends the edit in progress as Esc does: the text and the token stay as they were.
    void cancelLabelEdit();
    // Ends the edit in progress as Enter does: the owner's handler gets the text.
    void commitLabelEdit();

protected:
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    class LabelDelegate;
    friend class LabelDelegate;

    bool m_labelEditing = false;
    EndLabelEdit m_endLabelEdit;
    QPointer<QLineEdit> m_editor;
};
