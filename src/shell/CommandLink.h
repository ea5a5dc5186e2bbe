// Controls bound to a command (a QAction that no menu shows): they run it,
// follow its enabled state and take its caption, each under a name of its
// own, so a language pack can give each control its own text.
#pragma once

class QAction;
class QMenu;
class QPushButton;

namespace flashsmith::shell {

// The button runs command; with takeCaption it shows the command's caption
// (again whenever the caption itself changes, not on every state change).
void BindButton(QPushButton* button, QAction* command, bool takeCaption);

// A new item of menu, named name, that runs command and shows its caption.
QAction* AddCommandItem(QMenu* menu, QAction* command, const char* name);

}  // namespace flashsmith::shell
