#include "ui/accessible_interface.h"

#include <QAccessible>

void ReplaceAccessibleInterface(QAccessibleInterface* iface) {
    // Asking makes one when there is none yet; either way it goes.
    if (QAccessibleInterface* known = QAccessible::queryAccessibleInterface(iface->object())) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(known));
    }
    QAccessible::registerAccessibleInterface(iface);
}
