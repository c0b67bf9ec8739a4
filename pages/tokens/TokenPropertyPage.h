#pragma once

#include "ui/PageImpl.h"

#include <cstdint>

class CLabelEditListView;

// Page 227: the properties of the default token, one per row. Read-only: the template asks for
// label editing, but the rows are properties of one token, not tokens, so an edit could only
// rename whichever token stands at the row's store position.
class CTokenPropertyPage : public CDialogPageImpl<CTokenPropertyPage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::TokenProperty;
    static constexpr int IDC_LIST = 1011;
    static constexpr int RowCount = 8;

    void OnShow(const PageArgs& args) override;

    CLabelEditListView* list() const { return m_list; }

    // An expiry date (seconds since 1970 UTC) in local time, in the user's long date and time
    // form; "Never" for 0 (no expiry); empty for a time the calendar cannot show.
    static QString formatExpiryDate(std::int64_t seconds);

private:
    friend class CPageImpl<CTokenPropertyPage>;
    friend class CDialogPageImpl<CTokenPropertyPage>;
    void OnInitDialog();
    QWidget* createControl(const resources::DialogItem& item, QWidget* parent);

    CLabelEditListView* m_list = nullptr;
};
