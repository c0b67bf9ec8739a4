#pragma once

#include "ui/PageImpl.h"

class CPngButton;

// Page 132: installs a token by hand from its name, serial number and 18-character seed code.
// The fields keep their text when the page is shown again, until a token is installed from them.
class CInstallPage : public CDialogPageImpl<CInstallPage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::Install;
    static constexpr int IDC_SEED = 1004;
    static constexpr int IDC_NAME = 1005;
    static constexpr int IDC_SERIAL = 1006;
    static constexpr int IDC_INSTALL = 1007;

    bool PreTranslateMessage(QObject* receiver, QEvent* event) override;
    void onCommand(int id, int notifyCode) override;

    // Install is enabled exactly when all three fields hold something, blanks included.
    static bool canInstall(const QString& name, const QString& serial, const QString& seed);

private:
    friend class CPageImpl<CInstallPage>;
    friend class CDialogPageImpl<CInstallPage>;
    void OnInitDialog();
    QWidget* createControl(const resources::DialogItem& item, QWidget* parent);
    QString fieldText(int id) const;
    void install();

    CPngButton* m_install = nullptr;
};
