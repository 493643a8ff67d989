#pragma once

// Every widget that stands for a dialog control carries a stable object name
// and the control's number, so tests and accessibility tools find it without
// knowing the layout.

class QWidget;

namespace txisp::ui {

// The dynamic property holding the control's number.
inline constexpr const char* kControlIdProperty = "controlId";

// The dialogs' shared buttons keep the numbers the dialog framework gives
// them everywhere.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

void SetControlIdentity(QWidget* widget, const char* object_name, int control_id);

// The number set by SetControlIdentity; -1 for a widget without one.
int ControlId(const QWidget* widget);

}  // namespace txisp::ui
