#include "app/localize.h"

void localizeForm(QWidget*) {}
