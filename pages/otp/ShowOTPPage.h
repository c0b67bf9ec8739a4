#pragma once

#include "ui/PageImpl.h"

class CNumberPlate;
class CPngButton;
class QLabel;

// Page 134: the codes that the challenge and signing pages computed, under a caption, with Copy.
// Arguments: the first code, the second code and, optionally, the caption.
class CShowOTPPage : public CDialogPageImpl<CShowOTPPage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::ShowOtp;
    static constexpr int IDC_COPY = 102;
    static constexpr int IDC_PLATE = 1009;
    static constexpr int IDC_CAPTION = 1018;

    bool PreTranslateMessage(QObject* receiver, QEvent* event) override;
    void OnShow(const PageArgs& args) override;
    void onCommand(int id, int notifyCode) override;

    CNumberPlate* plate() const { return m_plate; }

private:
    friend class CPageImpl<CShowOTPPage>;
    friend class CDialogPageImpl<CShowOTPPage>;
    void OnInitDialog();
    QWidget* createControl(const resources::DialogItem& item, QWidget* parent);

    CNumberPlate* m_plate = nullptr;
    CPngButton* m_copy = nullptr;
};
