#pragma once

#include "ui/PageImpl.h"

#include <QImage>
#include <QPlainTextEdit>
#include <string>

class CPngButton;

// Read-only text holding a secret (the URI with the token's key): whatever leaves it for the
// clipboard or a drag is marked for clipboard managers to skip, and Copy goes through the code
// clipboard, which takes it off again after the delay of the settings, on lock and at exit.
class CSecretTextView : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit CSecretTextView(QWidget* parent);

protected:
    QMimeData* createMimeDataFromSelection() const override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void copySelection();
};

// The QR code of a text, drawn in whole device pixels per module so it stays crisp at any scale.
class CQrCodeView : public QWidget {
    Q_OBJECT

public:
    explicit CQrCodeView(QWidget* parent);

    void setText(const std::string& text);
    void clear();
    bool isEmpty() const { return m_text.empty(); }
    // What is on screen now: the code at the widget's device pixel ratio, or a null image.
    QImage shownCode();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string m_text;
    QImage m_code; // cached for one size and ratio
    qreal m_codeRatio = 0;
    int m_codeAvailable = 0;
};

// Page 236: the default token as an otpauth:// URI and its QR code, for another authenticator.
// The secret is shown only after the PIN is entered again, and forgotten when the page is left.
class CExportPage : public CDialogPageImpl<CExportPage> {
    Q_OBJECT

public:
    static constexpr int IDD = pageid::Export;
    static constexpr int IDC_QR = 1042;
    static constexpr int IDC_URI = 1043;
    static constexpr int IDC_SCAN_HINT = 1044;
    static constexpr int IDC_SAVE = 1045;
    static constexpr int IDC_PROMPT = 1046;
    static constexpr int IDC_TITLE = 1047;
    static constexpr int IDC_PIN = 1048;
    static constexpr int IDC_GO = 1049;
    // Module size of a saved picture: large enough to print or show on another screen.
    static constexpr int SavedModulePixels = 8;

    bool PreTranslateMessage(QObject* receiver, QEvent* event) override;
    void onCommand(int id, int notifyCode) override;
    void OnShow(const PageArgs& args) override;
    void OnHide() override;

    CQrCodeView* qrView() const { return m_qr; }
    // The URI on the page; empty until the PIN has been entered.
    QString shownUri() const;

    // A file name for the token's picture: its name without characters file systems refuse.
    static QString suggestedFileName(const QString& tokenName);

private:
    friend class CPageImpl<CExportPage>;
    friend class CDialogPageImpl<CExportPage>;
    void OnInitDialog();
    QWidget* createControl(const resources::DialogItem& item, QWidget* parent);
    void showState(bool asking, bool revealed);
    void reveal();
    void conceal();
    void savePicture();

    CPngButton* m_go = nullptr;
    CQrCodeView* m_qr = nullptr;
    CSecretTextView* m_uriText = nullptr;
    std::string m_uri; // the secret, while shown
    QString m_tokenName;
};
