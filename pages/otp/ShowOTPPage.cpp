#include "pages/otp/ShowOTPPage.h"

#include "ui/PngButton.h"
#include "ui/SecretClipboard.h"
#include "pages/otp/NumberPlate.h"
#include "pages/otp/OtpPictures.h"
#include "store/ValdorixTokenDB.h"

#include <QKeyEvent>
#include <QLabel>

QWidget* CShowOTPPage::createControl(const resources::DialogItem& item, QWidget* parent) {
    if (item.id != IDC_COPY)
        return nullptr;
    m_copy = new CPngButton(parent, item.id);
    return m_copy;
}

void CShowOTPPage::OnInitDialog() {
    m_fixDpi.Init(this, IDD, 96.0);
    m_copy->SetImages(picture::CopyNormal, picture::CopyNormal, picture::CopyPressed);
    const QWidget* plateArea = item(IDC_PLATE);
    m_plate = new CNumberPlate(this, plateArea ? plateArea->geometry() : QRect());
    m_plate->setObjectName(QStringLiteral("plate"));
    DlgResize_Init({{IDC_PANEL, CDialogResize::SizeX},
                    {IDC_NAVIGATION_BAR, CDialogResize::SizeX | CDialogResize::MoveY},
                    {IDC_COPY, CDialogResize::MoveX}});
}

bool CShowOTPPage::PreTranslateMessage(QObject*, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy))
        return false;
    onCommand(IDC_COPY, 0);
    return true;
}

void CShowOTPPage::OnShow(const PageArgs& args) {
    if (args.size() < 2)
        return;
    // The current default token decides, whichever token computed the codes.
    if (const std::shared_ptr<COtpToken> token = tokenStore().defaultToken())
        m_plate->setDualLine(token->dualDisplay);
    m_plate->setCodes(args[0].toStdU16String(), args[1].toStdU16String());
    if (args.size() > 2) {
        if (auto* caption = qobject_cast<QLabel*>(item(IDC_CAPTION)))
            caption->setText(args[2]);
    }
}

void CShowOTPPage::onCommand(int id, int) {
    if (id == IDC_COPY)
        copyToClipboard(this, QString::fromStdU16String(m_plate->topCode()));
}
