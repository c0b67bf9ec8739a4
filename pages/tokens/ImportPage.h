#pragma once

#include "ui/PageImpl.h"

class CPngButton;
struct CsvImportReport;

// Page 234: installs every token listed in a CSV file of serial, seed code and name lines.
class CImportPage : public CDialogPageImpl<CImportPage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::Import;
    static constexpr int IDC_BROWSE = 1001;
    static constexpr int IDC_PATH = 1040;
    static constexpr int IDC_IMPORT = 1041;

    bool PreTranslateMessage(QObject* receiver, QEvent* event) override;
    void onCommand(int id, int notifyCode) override;

    // What an import that added tokens tells the user: how many, and the lines skipped and why.
    static QString importSummary(const CsvImportReport& report);

private:
    friend class CPageImpl<CImportPage>;
    friend class CDialogPageImpl<CImportPage>;
    void OnInitDialog();
    QWidget* createControl(const resources::DialogItem& item, QWidget* parent);
    QLineEdit* pathEdit() const;
    void browse();
    void import();

    CPngButton* m_import = nullptr;
};
