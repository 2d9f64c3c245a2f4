#pragma once

#include <QAccessible>

class QWidget;

namespace varnock {

// Gives `control` the role a screen reader announces, where its class
// says something else: the maker's logo (a QLabel) is a link, the close
// label a button. Controls with a role from here can also be pressed
// through accessibility: the press is a left click at their centre, the
// very click the window reacts to. Name and description stay the widget's
// own (accessibleName, and accessibleDescription or else its tool tip).
// Call it right after creating the control: while accessibility is active,
// changing a control (its name, its place) makes Qt create and keep its
// accessible object, and a role set later would not reach it.
void SetAccessibleRole(QWidget& control, QAccessible::Role role);

}  // namespace varnock
