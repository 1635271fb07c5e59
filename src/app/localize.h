#pragma once

class QWidget;

// Puts the string-table texts onto a window and its controls, by the ids
// they carry at design time. Conventions on Qt widgets:
// - window and controls: the dynamic property "Tag" (text) holds the id;
//   the window's id gives its title and its icon (":/icons/<id>.png" when
//   present; otherwise the window keeps its icon);
// - a control's tooltip (toolTip()) may hold an id as its design-time text;
// - menu items: a QAction in a QMenu or QMenuBar whose design-time text() is
//   the id ("11081"); separators and non-numeric captions stay. Menus are
//   found among the window's descendants, so a pop-up menu must be parented
//   to the window (or to one of its controls);
// - toolbar buttons: a QAction in a QToolBar whose design-time toolTip() is
//   the tooltip id and whose "Tag" property is the caption id;
// - tabs (QTabWidget or QTabBar): the dynamic property "TabTags" (QStringList,
//   one caption id per tab) and each tab's design-time tooltip text as an id;
// - list-view column headers (QTreeWidget or QTableWidget, or any QTreeView or
//   QTableView with a model): the dynamic property "ColumnTags" (QStringList,
//   one id per column); a view without that property is an ordinary control;
// - labels (QLabel) need the whole Tag to be a number; other controls
//   (buttons, check boxes, radio buttons, group boxes) take the leading number
//   of their Tag and tooltip, so ordinary text stays; controls without a
//   caption (text boxes, sliders, ...) only take the tooltip;
// - controls are visited in the window's child order, each before the
//   controls it holds; other windows parented to this one are left to their
//   own load.
// Every step that fails is skipped; it never raises.
void localizeForm(QWidget* form);
