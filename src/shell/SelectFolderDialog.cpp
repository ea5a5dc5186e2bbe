#include "shell/SelectFolderDialog.h"

#include <QFileInfo>

#include "shell/UserPrompts.h"

namespace flashsmith::shell {

bool TSelectFolderDialog::Execute() {
    auto dir = prompts_.Folder(owner_, Title);
    // Only folders of the file system are an answer.
    if (!dir || dir->isEmpty() || !QFileInfo(*dir).isDir()) return false;
    Directory = *dir;
    return true;
}

}  // namespace flashsmith::shell
