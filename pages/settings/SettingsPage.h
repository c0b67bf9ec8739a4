#pragma once

#include "ui/AppSettings.h"
#include "ui/PageImpl.h"

#include <optional>

class CPngButton;
class QCheckBox;

// Page 235: the user's own choices: how long a copied code stays on the clipboard, how long the
// window waits without input before it locks, and whether it locks with the screen.
class CSettingsPage : public CDialogPageImpl<CSettingsPage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::Settings;
    static constexpr int IDC_SAVE = 101;
    static constexpr int IDC_CLIPBOARD_SECONDS = 1191;
    static constexpr int IDC_IDLE_MINUTES = 1192;
    static constexpr int IDC_LOCK_WITH_SCREEN = 1193;

    bool PreTranslateMessage(QObject* receiver, QEvent* event) override;
    void OnShow(const PageArgs& args) override;
    void onCommand(int id, int notifyCode) override;

    // What the fields say; none while a number box is empty.
    std::optional<AppSettings> fieldSettings() const;

private:
    friend class CPageImpl<CSettingsPage>;
    friend class CDialogPageImpl<CSettingsPage>;
    void OnInitDialog();
    QWidget* createControl(const resources::DialogItem& item, QWidget* parent);
    void save();

    CPngButton* m_save = nullptr;
    QCheckBox* m_withScreen = nullptr;
};
