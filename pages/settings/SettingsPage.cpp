#include "pages/settings/SettingsPage.h"

#include "ui/PngButton.h"
#include "resources/StringTable.h"
#include "ui/MessageBox.h"
#include "ui/PinPageCommon.h"

#include <QCheckBox>
#include <QDir>
#include <QIntValidator>
#include <QLineEdit>

namespace {

std::optional<int> number(const QLineEdit* edit) {
    bool ok = false;
    const int value = edit ? edit->text().toInt(&ok) : 0;
    return ok && edit->hasAcceptableInput() ? std::optional<int>(value) : std::nullopt;
}

} // namespace

QWidget* CSettingsPage::createControl(const resources::DialogItem& item, QWidget* parent) {
    if (item.id == IDC_SAVE)
        return m_save = new CPngButton(parent, item.id);
    if (item.id == IDC_LOCK_WITH_SCREEN)
        return m_withScreen = new QCheckBox(QString::fromStdU16String(std::u16string(item.text)), parent);
    return nullptr;
}

void CSettingsPage::OnInitDialog() {
    m_fixDpi.Init(this, IDD, 96.0);
    m_save->SetImages(picture::ActionNormal, picture::ActionNormal, picture::ActionPressed);
    const std::pair<int, int> ranges[] = {{IDC_CLIPBOARD_SECONDS, AppSettings::MaxClipboardSeconds},
                                          {IDC_IDLE_MINUTES, AppSettings::MaxIdleMinutes}};
    for (const auto& [id, maximum] : ranges) {
        if (auto* edit = qobject_cast<QLineEdit*>(item(id)))
            edit->setValidator(new QIntValidator(0, maximum, edit));
    }
    DlgResize_Init({{IDC_PANEL, CDialogResize::SizeX},
                    {IDC_SAVE, CDialogResize::MoveX},
                    {IDC_NAVIGATION_BAR, CDialogResize::SizeX}});
}

bool CSettingsPage::PreTranslateMessage(QObject*, QEvent* event) {
    return postCommandOnEnter(event, IDC_SAVE);
}

void CSettingsPage::OnShow(const PageArgs&) {
    const AppSettings& settings = AppSettings::current();
    if (auto* edit = qobject_cast<QLineEdit*>(item(IDC_CLIPBOARD_SECONDS)))
        edit->setText(QString::number(settings.clipboardClearSeconds));
    if (auto* edit = qobject_cast<QLineEdit*>(item(IDC_IDLE_MINUTES)))
        edit->setText(QString::number(settings.idleLockMinutes));
    m_withScreen->setChecked(settings.lockWithScreen);
    m_save->setEnabled(fieldSettings().has_value());
}

std::optional<AppSettings> CSettingsPage::fieldSettings() const {
    const std::optional<int> seconds = number(qobject_cast<QLineEdit*>(item(IDC_CLIPBOARD_SECONDS)));
    const std::optional<int> minutes = number(qobject_cast<QLineEdit*>(item(IDC_IDLE_MINUTES)));
    if (!seconds || !minutes)
        return std::nullopt;
    AppSettings settings;
    settings.clipboardClearSeconds = *seconds;
    settings.idleLockMinutes = *minutes;
    settings.lockWithScreen = m_withScreen->isChecked();
    return settings;
}

void CSettingsPage::onCommand(int id, int notifyCode) {
    if (notifyCode == EN_CHANGE) {
        m_save->setEnabled(fieldSettings().has_value());
        return;
    }
    if (id == IDC_SAVE && m_save->isEnabled())
        save();
}

void CSettingsPage::save() {
    const std::optional<AppSettings> settings = fieldSettings();
    if (!settings)
        return;
    if (!AppSettings::store(*settings)) {
        // They hold for this run all the same.
        MessageBox::show(this,
                         resourceString(resources::ids::IDS_SETTINGS_NOT_SAVED)
                             .arg(QDir::toNativeSeparators(AppSettings::filePath())),
                         MessageBox::Error);
        return;
    }
    MessageBox::show(this, resources::ids::IDS_SETTINGS_SAVED, MessageBox::Information);
    if (m_navigator)
        m_navigator->Navigate(pageid::Otp);
}
