#pragma once

#include "ui/PageImpl.h"

#include <string>

class CPngButton;

// Page 223: service URL, login name and password for a download; Download hands them, trimmed,
// to the progress page.
class CDownloadPage : public CDialogPageImpl<CDownloadPage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::Download;
    static constexpr int IDC_SERVICE_URL = 1019;
    static constexpr int IDC_LOGIN_NAME = 1039;
    static constexpr int IDC_PASSWORD = 1038;
    static constexpr int IDC_DOWNLOAD = 1021;

    bool PreTranslateMessage(QObject* receiver, QEvent* event) override;
    void onCommand(int id, int notifyCode) override;

private:
    friend class CPageImpl<CDownloadPage>;
    friend class CDialogPageImpl<CDownloadPage>;
    void OnInitDialog();
    QWidget* createControl(const resources::DialogItem& item, QWidget* parent);
    void download();

    CPngButton* m_download = nullptr;
    std::u16string m_serviceUrl;
    std::u16string m_loginName;
    std::u16string m_password;
    // Set until WM_INITDIALOG has filled the boxes: their change notifications are not the user's.
    bool m_initialising = true;
};
