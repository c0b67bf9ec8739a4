#pragma once

#include "ui/PageImpl.h"

class CPngButton;

// Page 226: sends the default token's next run of codes to its service. The codes are computed
// and the advanced counter saved before the server is asked.
class CSynchronisePage : public CDialogPageImpl<CSynchronisePage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::Synchronise;
    static constexpr int IDC_PROMPT = 1018;
    static constexpr int IDC_SYNCHRONISE = 1028;

    // Synchronise is enabled exactly while the store has a default token.
    void OnShow(const PageArgs& args) override;
    bool PreTranslateMessage(QObject* receiver, QEvent* event) override;
    void onCommand(int id, int notifyCode) override;

private:
    friend class CPageImpl<CSynchronisePage>;
    friend class CDialogPageImpl<CSynchronisePage>;
    void OnInitDialog();
    QWidget* createControl(const resources::DialogItem& item, QWidget* parent);
    void updateButton();
    void synchronise();

    CPngButton* m_synchronise = nullptr;
};
