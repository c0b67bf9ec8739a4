#include "pages/pin/SetPinPage.h"

#include "ui/PngButton.h"
#include "resources/StringTable.h"
#include "ui/MessageBox.h"
#include "ui/PinPageCommon.h"
#include "store/ValdorixTokenDB.h"
#include "ui/Wipe.h"

#include <QLabel>

bool CSetPinPage::canSet(const std::u16string& pin, const std::u16string& confirmation) {
    return pin.size() > 3 && confirmation == pin;
}

QWidget* CSetPinPage::createControl(const resources::DialogItem& item, QWidget* parent) {
    if (item.id != IDC_GO)
        return nullptr;
    m_go = new CPngButton(parent, item.id);
    return m_go;
}

void CSetPinPage::OnInitDialog() {
    m_fixDpi.Init(this, IDD, 96.0);
    m_go->SetImages(picture::ActionNormal, picture::ActionNormal, picture::ActionPressed);
    DlgResize_Init({{IDC_PANEL, CDialogResize::SizeX},
                    {IDC_GO, CDialogResize::MoveX},
                    {IDC_NEW_PIN, CDialogResize::SizeX},
                    {IDC_CONFIRM_PIN, CDialogResize::SizeX}});

    // Under the boxes: what Go still waits for.
    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("pinHint"));
    m_hint->setTextFormat(Qt::PlainText);
    m_hint->setGeometry(m_fixDpi.toPixels(10, 86, 170, 10));
    showHint();
}

void CSetPinPage::showHint() {
    const bool differ = m_pin.size() > 3 && !m_confirmation.empty() && m_confirmation != m_pin;
    QPalette palette = m_hint->palette();
    palette.setColor(QPalette::WindowText, differ ? QColor(Qt::red) : this->palette().color(QPalette::WindowText));
    m_hint->setPalette(palette);
    m_hint->setText(differ ? resourceString(resources::ids::IDS_PINS_DIFFER)
                    : m_pin.size() > 3 ? QString()
                                       : resourceString(resources::ids::IDS_PIN_RULE));
}

bool CSetPinPage::PreTranslateMessage(QObject*, QEvent* event) {
    return postCommandOnEnter(event, IDC_GO);
}

void CSetPinPage::onCommand(int id, int notifyCode) {
    if (notifyCode == EN_CHANGE) {
        m_pin = itemText(IDC_NEW_PIN);
        m_confirmation = itemText(IDC_CONFIRM_PIN);
        m_go->setEnabled(canSet(m_pin, m_confirmation));
        showHint();
        wipe(m_confirmation);
        return;
    }
    if (id == IDC_GO && m_go->isEnabled())
        setPin();
}

void CSetPinPage::setPin() {
    m_pin = itemText(IDC_NEW_PIN);
    m_confirmation = itemText(IDC_CONFIRM_PIN);
    CValdorixTokenDB& store = tokenStore();
    store.markUnlocked();
    // An empty old PIN matches a store that was never loaded; the save inside makes the file.
    const PinChange change = store.changePin(u"", m_pin);
    wipe(m_pin);
    wipe(m_confirmation);
    if (!change) {
        // No file was made: the store stays closed, and the user can try again.
        store.lock();
        if (change.status == PinChange::Unrepresentable)
            MessageBox::show(this, resources::ids::IDS_PIN_UNREPRESENTABLE, MessageBox::Error);
        else
            reportSaveFailure(this, change.saved);
        return;
    }
    navigateAfterUnlock(this, store, m_navigator);
}
