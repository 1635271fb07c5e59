#pragma once

class QWidget;

// Puts the string-table texts onto a window and its controls, menus, tabs and
// column headers, by the ids they carry.
void localizeForm(QWidget* form);
