#pragma once

#include <QKeyEvent>

// For a window without a default button. Enter on a focused button is the
// button's own; Enter that reaches the window comes from a box or a list and
// must not press whichever button the toolkit would pick (the first in tab
// order, or the one that last had the focus). Returns true when it took the key.
inline bool swallowEnter(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    event->accept();
    return true;
}
