#include "ui/control_identity.h"

#include <QVariant>
#include <QWidget>

namespace txisp::ui {

void SetControlIdentity(QWidget* widget, const char* object_name, int control_id) {
    widget->setObjectName(QString::fromLatin1(object_name));
    widget->setProperty(kControlIdProperty, control_id);
}

int ControlId(const QWidget* widget) {
    bool ok = false;
    const int id = widget->property(kControlIdProperty).toInt(&ok);
    return ok ? id : -1;
}

}  // namespace txisp::ui
