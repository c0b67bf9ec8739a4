#include "ui/NavigationBar.h"

#include "resources/StringTable.h"
#include "ui/Page.h"
#include "ui/PngButton.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QResizeEvent>

namespace {
constexpr int kHomePicture = 218;
constexpr int kBackPicture = 220;
constexpr int kForwardPicture = 221;

// The keys of the three buttons, as web browsers and file managers have them.
constexpr std::pair<int, Qt::Key> kShortcuts[] = {
    {CNavigationBar::IDC_BACK, Qt::Key_Left},
    {CNavigationBar::IDC_FORWARD, Qt::Key_Right},
    {CNavigationBar::IDC_HOME, Qt::Key_Home},
};
} // namespace

CNavigationBar::CNavigationBar(QWidget* page) : QWidget(page) {
    setObjectName(QStringLiteral("navigationBar"));
    const resources::DialogTemplate* tmpl = resources::findDialogTemplate(IDD);
    if (!tmpl)
        return;
    createDialogControls(this, *tmpl, [](const resources::DialogItem& item, QWidget* parent) -> QWidget* {
        return new CPngButton(parent, item.id);
    });

    // WM_INITDIALOG of the bar.
    m_fixDpi.Init(this, IDD, 96.0);
    m_home = qobject_cast<CPngButton*>(dlgItem(this, IDC_HOME));
    m_back = qobject_cast<CPngButton*>(dlgItem(this, IDC_BACK));
    m_forward = qobject_cast<CPngButton*>(dlgItem(this, IDC_FORWARD));
    const std::pair<CPngButton*, int> faces[] = {
        {m_home, kHomePicture}, {m_back, kBackPicture}, {m_forward, kForwardPicture}};
    for (const auto& [button, picture] : faces) {
        if (!button)
            continue;
        button->SetImages(picture, picture, picture);
        button->SetExtendedStyle(CPngButton::Border3dSingle, CPngButton::Border3dSingle);
    }
    for (const auto& [id, key] : kShortcuts) {
        if (auto* button = qobject_cast<CPngButton*>(dlgItem(this, id))) {
            const QString keys = QKeySequence(Qt::ALT | key).toString(QKeySequence::NativeText);
            button->setToolTip(resourceString(resources::ids::IDS_TOOLTIP_SHORTCUT)
                                   .arg(CPngButton::stripMnemonics(button->text()), keys));
        }
    }
    m_resize.DlgResize_Init(this, {{IDC_BACK, CDialogResize::MoveX},
                                   {IDC_FORWARD, CDialogResize::MoveX},
                                   {IDC_HOME, CDialogResize::MoveX}});
}

void CNavigationBar::place(const QRect& rect) {
    setGeometry(rect);
    m_resize.DlgResize_UpdateLayout(rect.size());
}

void CNavigationBar::UpdateButtons() {
    if (!m_navigator)
        return;
    EnableButton(Home, m_navigator->CanNavigate(2));
    EnableButton(Back, m_navigator->CanNavigate(0));
    EnableButton(Forward, m_navigator->CanNavigate(1));
}

void CNavigationBar::EnableButton(int which, bool enable) {
    if (which < Back || which > Home)
        return;
    if (CPngButton* b = button(Button(which)))
        b->setEnabled(enable);
}

CPngButton* CNavigationBar::button(Button which) const {
    switch (which) {
    case Back:
        return m_back;
    case Forward:
        return m_forward;
    case Home:
        return m_home;
    }
    return nullptr;
}

bool CNavigationBar::pressShortcut(const QKeyEvent& key) {
    if ((key.modifiers() & ~Qt::KeypadModifier) != Qt::AltModifier)
        return false;
    for (const auto& [id, shortcut] : kShortcuts) {
        if (key.key() != shortcut)
            continue;
        // A key for a button that is greyed does nothing, as a click on it would.
        QWidget* button = dlgItem(this, id);
        if (button && button->isEnabled())
            onCommand(id, 0);
        return true;
    }
    return false;
}

void CNavigationBar::onCommand(int id, int) {
    if (!m_navigator)
        return;
    switch (id) {
    case IDC_HOME:
        m_navigator->GoHome();
        break;
    case IDC_BACK:
        m_navigator->GoBack();
        break;
    case IDC_FORWARD:
        m_navigator->GoForward();
        break;
    default:
        break;
    }
}

void CNavigationBar::paintEvent(QPaintEvent*) {
    // Nothing of its own: the page shows through, and the buttons draw the page behind them.
}

void CNavigationBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_resize.DlgResize_UpdateLayout(event->size());
}
