#include "ui/DialogBuilder.h"

#include "ui/PngButton.h"
#include "resources/StringTable.h"

#include <QAbstractButton>
#include <QFont>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

using namespace resources;

namespace {

const char* const kControlId = "controlId";

CommandTarget* commandTargetOf(QWidget* dialog) {
    return dynamic_cast<CommandTarget*>(dialog);
}

QWidget* makeStandardControl(const DialogItem& item, QWidget* parent) {
    const QString text = QString::fromStdU16String(std::u16string(item.text));
    switch (item.kind) {
    case ControlKind::Static: {
        auto* label = new QLabel(text, parent);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(((item.style & 3) == style::SS_CENTER  ? Qt::AlignHCenter
                             : (item.style & 3) == style::SS_RIGHT ? Qt::AlignRight
                                                                   : Qt::AlignLeft) |
                            Qt::AlignTop);
        label->setWordWrap(true);
        return label;
    }
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(parent);
        // The page draws the frame around the box from a picture.
        edit->setFrame(false);
        if (item.style & style::ES_PASSWORD)
            edit->setEchoMode(QLineEdit::Password);
        return edit;
    }
    case ControlKind::Button: {
        auto* button = new QPushButton(text, parent);
        button->setAutoDefault(false);
        return button;
    }
    case ControlKind::GroupBox:
        return new QGroupBox(text, parent);
    case ControlKind::ListView: {
        auto* list = new QTreeWidget(parent);
        list->setRootIsDecorated(false);
        list->setSelectionMode((item.style & style::LVS_SINGLESEL) ? QAbstractItemView::SingleSelection
                                                                   : QAbstractItemView::ExtendedSelection);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->header()->setStretchLastSection(false);
        return list;
    }
    case ControlKind::ProgressBar:
        return new QProgressBar(parent);
    }
    return new QWidget(parent);
}

} // namespace

void installDialogFonts() {
    static const bool installed = [] {
        const QString metricTwin = QStringLiteral("Liberation Sans");
        for (const char* family : {"Microsoft Sans Serif", "MS Shell Dlg", "MS Shell Dlg 2", "Tahoma"})
            QFont::insertSubstitution(QString::fromLatin1(family), metricTwin);
        return true;
    }();
    (void)installed;
}

void createDialogControls(QWidget* dialog, const DialogTemplate& tmpl, const ControlFactory& factory) {
    CommandTarget* target = commandTargetOf(dialog);
    for (const DialogItem& item : tmpl.items) {
        QWidget* control = factory ? factory(item, dialog) : nullptr;
        if (!control)
            control = makeStandardControl(item, dialog);
        if (control->parentWidget() != dialog)
            control->setParent(dialog);
        control->setProperty(kControlId, item.id);
        if (item.id != IDC_STATIC)
            control->setObjectName(QStringLiteral("id%1").arg(item.id));
        if (auto* png = qobject_cast<CPngButton*>(control)) {
            if (png->text().isEmpty())
                png->setText(QString::fromStdU16String(std::u16string(item.text)));
        }
        if (item.kind == ControlKind::Button)
            control->setFocusPolicy((item.style & style::WS_TABSTOP) ? Qt::TabFocus : Qt::NoFocus);
        control->setEnabled(item.enabled());
        control->setVisible(item.visible());
        if (!target || item.id == IDC_STATIC)
            continue;
        const int id = item.id;
        if (auto* png = qobject_cast<CPngButton*>(control)) {
            QObject::connect(png, &CPngButton::command, dialog,
                             [target, id] { target->onCommand(id, BN_CLICKED); });
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            QObject::connect(button, &QAbstractButton::clicked, dialog,
                             [target, id] { target->onCommand(id, BN_CLICKED); });
        } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            QObject::connect(edit, &QLineEdit::textChanged, dialog,
                             [target, id] { target->onCommand(id, EN_CHANGE); });
        }
    }
}

int controlId(const QObject* object) {
    return object ? object->property(kControlId).toInt() : 0;
}

QWidget* dlgItem(const QWidget* dialog, int id) {
    if (!dialog)
        return nullptr;
    for (QObject* child : dialog->children()) {
        if (child->isWidgetType() && controlId(child) == id)
            return static_cast<QWidget*>(child);
    }
    return nullptr;
}

QString resourceString(int id) {
    return QString::fromStdU16String(std::u16string(resources::loadString(id)));
}
