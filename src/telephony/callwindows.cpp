#include "app/globals.h"
#include "mainwindow/frmmain.h"
#include "telephony/callwindows_p.h"

namespace callwindows {

QWidget* owner() {
    return gMainForm;
}
QString appTitle() {
    return QStringLiteral("Tamrivo");
}

} // namespace callwindows
