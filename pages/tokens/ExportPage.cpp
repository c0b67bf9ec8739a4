#include "pages/tokens/ExportPage.h"

#include "engine/OtpAuthUri.h"
#include "qr/QrCodes.h"
#include "resources/StringTable.h"
#include "store/ValdorixTokenDB.h"
#include "ui/MessageBox.h"
#include "ui/PinPageCommon.h"
#include "ui/PngButton.h"
#include "ui/SecretClipboard.h"
#include "ui/SaveFileDialog.h"
#include "ui/Wipe.h"

#include <QDir>
#include <QImageWriter>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

namespace {

using namespace resources::ids;

} // namespace

CQrCodeView::CQrCodeView(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("QR code"));
}

void CQrCodeView::setText(const std::string& text) {
    clear();
    m_text = text;
    update();
}

void CQrCodeView::clear() {
    wipe(m_text);
    m_code = QImage();
    update();
}

QImage CQrCodeView::shownCode() {
    if (m_text.empty())
        return {};
    const qreal ratio = devicePixelRatioF();
    const int available = int(std::floor(std::min(width(), height()) * ratio));
    if (m_code.isNull() || m_codeRatio != ratio || m_codeAvailable != available) {
        const QImage unit = encodeQrCode(m_text, 1);
        if (unit.isNull())
            return {};
        // Whole device pixels per module: a fractional size would blur the module edges.
        const int modulePixels = std::max(1, available / unit.width());
        m_code = modulePixels == 1 ? unit : encodeQrCode(m_text, modulePixels);
        m_code.setDevicePixelRatio(ratio);
        m_codeRatio = ratio;
        m_codeAvailable = available;
    }
    return m_code;
}

void CQrCodeView::paintEvent(QPaintEvent*) {
    const QImage code = shownCode();
    if (code.isNull()) {
        // An empty box would look like a code still coming: say why there is none.
        if (const QString problem = qrModuleProblem(); !m_text.empty() && !problem.isEmpty()) {
            QPainter painter(this);
            painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                             QStringLiteral("QR codes cannot be written: %1.").arg(problem));
        }
        return;
    }
    const qreal ratio = code.devicePixelRatio();
    // Centred, on a device pixel boundary.
    const qreal x = std::floor((width() * ratio - code.width()) / 2) / ratio;
    const qreal y = std::floor((height() * ratio - code.height()) / 2) / ratio;
    QPainter painter(this);
    painter.drawImage(QPointF(x, y), code);
}

CSecretTextView::CSecretTextView(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
}

QMimeData* CSecretTextView::createMimeDataFromSelection() const {
    QMimeData* data = QPlainTextEdit::createMimeDataFromSelection();
    if (data)
        data->setData(QString::fromLatin1(CCodeClipboard::SecretHintType), QByteArray(CCodeClipboard::SecretHintValue));
    return data;
}

void CSecretTextView::copySelection() {
    copyToClipboard(this, textCursor().selectedText());
}

void CSecretTextView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void CSecretTextView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(QStringLiteral("&Copy"), this, &CSecretTextView::copySelection);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(textCursor().hasSelection());
    menu.addAction(QStringLiteral("Select &All"), this, &QPlainTextEdit::selectAll)->setShortcut(QKeySequence::SelectAll);
    menu.exec(event->globalPos());
}

QWidget* CExportPage::createControl(const resources::DialogItem& item, QWidget* parent) {
    switch (item.id) {
    case IDC_GO:
        m_go = new CPngButton(parent, item.id);
        return m_go;
    case IDC_QR:
        m_qr = new CQrCodeView(parent);
        return m_qr;
    case IDC_URI: {
        m_uriText = new CSecretTextView(parent);
        // A URI has no spaces to break at.
        m_uriText->setWordWrapMode(QTextOption::WrapAnywhere);
        m_uriText->setTabChangesFocus(true);
        m_uriText->setFocusPolicy(Qt::StrongFocus);
        m_uriText->setAccessibleName(QStringLiteral("otpauth URI"));
        return m_uriText;
    }
    default:
        return nullptr;
    }
}

void CExportPage::OnInitDialog() {
    m_fixDpi.Init(this, IDD, 96.0);
    m_go->SetImages(picture::ActionNormal, picture::ActionNormal, picture::ActionPressed);
    DlgResize_Init({{IDC_GO, CDialogResize::MoveX},
                    {IDC_PIN, CDialogResize::SizeX},
                    {IDC_SCAN_HINT, CDialogResize::MoveX},
                    {IDC_URI, CDialogResize::MoveX},
                    {IDC_SAVE, CDialogResize::MoveX},
                    {IDC_NAVIGATION_BAR, CDialogResize::MoveX | CDialogResize::MoveY}});
}

bool CExportPage::PreTranslateMessage(QObject*, QEvent* event) {
    return postCommandOnEnter(event, m_uri.empty() ? IDC_GO : IDC_SAVE);
}

QString CExportPage::shownUri() const {
    return m_uriText ? m_uriText->toPlainText() : QString();
}

QString CExportPage::suggestedFileName(const QString& tokenName) {
    QString name;
    for (const QChar c : tokenName.trimmed())
        name += (c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c)) ? QChar(u'_') : c;
    if (name.isEmpty() || name.startsWith(u'.'))
        name.prepend(QStringLiteral("token"));
    return name + QStringLiteral(".png");
}

void CExportPage::showState(bool asking, bool revealed) {
    item(IDC_TITLE)->setVisible(!revealed && !m_tokenName.isEmpty());
    item(IDC_PROMPT)->setVisible(asking);
    item(IDC_PIN)->setVisible(asking);
    m_go->setVisible(asking);
    for (int id : {IDC_QR, IDC_SCAN_HINT, IDC_URI, IDC_SAVE})
        item(id)->setVisible(revealed);
}

void CExportPage::OnShow(const PageArgs&) {
    conceal();
    m_tokenName.clear();
    auto* title = qobject_cast<QLabel*>(item(IDC_TITLE));
    auto* prompt = qobject_cast<QLabel*>(item(IDC_PROMPT));
    // Reachable through Back or Forward after the last token is gone.
    const std::shared_ptr<COtpToken> token = tokenStore().defaultToken();
    if (!token) {
        prompt->setText(resourceString(IDS_NO_TOKEN_HINT));
        showState(false, false);
        prompt->show();
        return;
    }
    m_tokenName = QString::fromStdU16String(token->displayName());
    title->setText(resourceString(IDS_EXPORT_TITLE).arg(m_tokenName));
    std::string uri = makeOtpAuthUri(*token);
    const bool exportable = !uri.empty();
    wipe(uri);
    if (!exportable) {
        prompt->setText(resourceString(IDS_EXPORT_NO_URI));
        showState(false, false);
        prompt->show();
        return;
    }
    prompt->setText(resourceString(IDS_EXPORT_PIN_PROMPT));
    showState(true, false);
    item(IDC_PIN)->setFocus();
}

void CExportPage::OnHide() {
    conceal();
}

void CExportPage::onCommand(int id, int notifyCode) {
    if (notifyCode == EN_CHANGE) {
        if (id == IDC_PIN) {
            std::u16string pin = itemText(IDC_PIN);
            m_go->setEnabled(!pin.empty());
            wipe(pin);
        }
        return;
    }
    if (id == IDC_GO && m_go->isEnabled() && m_go->isVisible())
        reveal();
    else if (id == IDC_SAVE && !m_uri.empty())
        savePicture();
}

void CExportPage::reveal() {
    std::u16string pin = itemText(IDC_PIN);
    CValdorixTokenDB& store = tokenStore();
    const bool accepted = store.checkPin(pin);
    wipe(pin);
    auto* pinEdit = qobject_cast<QLineEdit*>(item(IDC_PIN));
    // Emptying the box also disables Go through its change notification.
    pinEdit->clear();
    if (!accepted) {
        MessageBox::show(this, IDS_INCORRECT_PIN, MessageBox::Error);
        pinEdit->setFocus();
        return;
    }
    const std::shared_ptr<COtpToken> token = store.defaultToken();
    m_uri = token ? makeOtpAuthUri(*token) : std::string();
    if (m_uri.empty()) {
        OnShow({}); // the token went away meanwhile
        return;
    }
    m_qr->setText(m_uri);
    m_uriText->setPlainText(QString::fromStdString(m_uri));
    qobject_cast<QLabel*>(item(IDC_SCAN_HINT))->setText(resourceString(IDS_EXPORT_SCAN_HINT));
    showState(false, true);
    item(IDC_SAVE)->setFocus();
}

void CExportPage::conceal() {
    wipe(m_uri);
    if (m_qr)
        m_qr->clear();
    if (m_uriText)
        m_uriText->clear();
    if (auto* pinEdit = qobject_cast<QLineEdit*>(item(IDC_PIN)))
        pinEdit->clear();
}

void CExportPage::savePicture() {
    const QString path = CSaveFileDialog::getSaveFileName(
        this, resourceString(IDS_PNG_FILTER), QStringLiteral("png"), suggestedFileName(m_tokenName));
    if (path.isEmpty())
        return;
    const QImage code = encodeQrCode(m_uri, SavedModulePixels);
    QSaveFile file(path);
    QString reason;
    if (code.isNull()) {
        reason = qrModuleProblem().isEmpty() ? QStringLiteral("the URI does not fit in a QR code")
                                             : QStringLiteral("QR codes cannot be written: %1").arg(qrModuleProblem());
    } else if (!file.open(QIODevice::WriteOnly)) {
        reason = file.errorString();
    } else {
        // The picture holds the secret: only its owner may read it.
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QImageWriter writer(&file, "png");
        if (!writer.write(code)) {
            reason = writer.errorString();
            file.cancelWriting();
        } else if (!file.commit()) {
            reason = file.errorString();
        }
    }
    const QString shownPath = QDir::toNativeSeparators(path);
    if (!reason.isEmpty()) {
        MessageBox::show(this, resourceString(IDS_QR_NOT_SAVED).arg(shownPath, reason), MessageBox::Error);
        return;
    }
    MessageBox::show(this, resourceString(IDS_QR_SAVED).arg(shownPath), MessageBox::Information);
}
