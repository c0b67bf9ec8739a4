#include "pages/pin/ChangePinPage.h"

#include "ui/PngButton.h"
#include "resources/StringTable.h"
#include "ui/MessageBox.h"
#include "ui/PinPageCommon.h"
#include "store/ValdorixTokenDB.h"
#include "ui/Wipe.h"

bool CChangePinPage::canChange(const std::u16string& current, const std::u16string& pin,
                               const std::u16string& confirmation) {
    return !current.empty() && pin.size() > 3 && confirmation == pin;
}

QWidget* CChangePinPage::createControl(const resources::DialogItem& item, QWidget* parent) {
    if (item.id != IDC_GO)
        return nullptr;
    m_go = new CPngButton(parent, item.id);
    return m_go;
}

void CChangePinPage::OnInitDialog() {
    m_fixDpi.Init(this, IDD, 96.0);
    m_go->SetImages(picture::ActionNormal, picture::ActionNormal, picture::ActionPressed);
    DlgResize_Init({{IDC_PANEL, CDialogResize::SizeX},
                    {IDC_GO, CDialogResize::MoveX},
                    {IDC_CURRENT_PIN, CDialogResize::SizeX},
                    {IDC_NEW_PIN, CDialogResize::SizeX},
                    {IDC_CONFIRM_PIN, CDialogResize::SizeX},
                    {IDC_NAVIGATION_BAR, CDialogResize::SizeX}});
}

bool CChangePinPage::PreTranslateMessage(QObject*, QEvent* event) {
    return postCommandOnEnter(event, IDC_GO);
}

void CChangePinPage::readFields() {
    m_current = itemText(IDC_CURRENT_PIN);
    m_pin = itemText(IDC_NEW_PIN);
    m_confirmation = itemText(IDC_CONFIRM_PIN);
}

void CChangePinPage::wipeFields() {
    wipe(m_current);
    wipe(m_pin);
    wipe(m_confirmation);
}

void CChangePinPage::onCommand(int id, int notifyCode) {
    if (notifyCode == EN_CHANGE) {
        readFields();
        m_go->setEnabled(canChange(m_current, m_pin, m_confirmation));
        wipeFields();
        return;
    }
    if (id == IDC_GO && m_go->isEnabled())
        changePin();
}

void CChangePinPage::changePin() {
    readFields();
    CValdorixTokenDB& store = tokenStore();
    const PinChange change = store.changePin(m_current, m_pin);
    wipeFields();
    switch (change.status) {
    case PinChange::WrongPin:
        MessageBox::show(this, resources::ids::IDS_INCORRECT_PIN, MessageBox::Error);
        return;
    case PinChange::Unrepresentable:
        MessageBox::show(this, resources::ids::IDS_PIN_UNREPRESENTABLE, MessageBox::Error);
        return;
    case PinChange::NotSaved:
        // The old PIN still opens the file, and stays the PIN.
        reportSaveFailure(this, change.saved);
        return;
    case PinChange::Changed:
        break;
    }
    MessageBox::show(this, resources::ids::IDS_PIN_CHANGED, MessageBox::Information);
    m_go->setEnabled(false);
    if (m_navigator)
        m_navigator->Navigate(pageid::Otp);
}
