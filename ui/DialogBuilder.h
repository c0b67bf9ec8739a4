#pragma once

#include "resources/DialogTemplates.h"

#include <QString>
#include <functional>

class QObject;
class QWidget;

// Builds the controls of a dialog template as child widgets, the way the dialog manager does
// before WM_INITDIALOG. Each control carries its template id in the property "controlId".

// Font families the templates name, mapped to fonts with the same metrics (base units 6 x 13).
// Idempotent; the dialog layout calls it, so tests get it too.
void installDialogFonts();

// A page's chance to make a control itself (a CPngButton for its action button); returning null
// lets the builder make the standard widget for the item's kind.
using ControlFactory = std::function<QWidget*(const resources::DialogItem& item, QWidget* parent)>;

// Creates the template's controls as children of `dialog`, in template order (which is also the
// tab order). Buttons call `onCommand(id, 0)` and edit boxes `onCommand(id, EN_CHANGE)` through
// `commandSink` (see CommandTarget).
void createDialogControls(QWidget* dialog, const resources::DialogTemplate& tmpl,
                          const ControlFactory& factory);

// The control id of a child made by createDialogControls; 0 for any other object.
int controlId(const QObject* object);

// The first direct child of `dialog` with this control id (GetDlgItem), or null.
QWidget* dlgItem(const QWidget* dialog, int id);

// Notification codes passed with a command, as WM_COMMAND's high word carries them.
constexpr int BN_CLICKED = 0;
constexpr int EN_CHANGE = 0x0300;

// The receiver of a window's commands (WM_COMMAND): buttons, edit changes, menu items.
class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    virtual void onCommand(int id, int notifyCode) = 0;
};

// String resource `id` as a QString; empty when the table has none.
QString resourceString(int id);
