// The folder picker: a title, the chosen folder, and Execute. The question
// itself goes through the user prompts, like every other question.
#pragma once

#include <QString>

class QWidget;

namespace flashsmith::shell {

class UserPrompts;

class TSelectFolderDialog {
public:
    TSelectFolderDialog(UserPrompts& prompts, QWidget* owner) : prompts_(prompts), owner_(owner) {}
    QString Title;
    QString Directory;  // the folder of the last successful run
    // True and Directory set when the user chose a folder.
    bool Execute();

private:
    UserPrompts& prompts_;
    QWidget* owner_;
};

}  // namespace flashsmith::shell
