// flashsmith [IMAGE] [PATCH.spf...]: the editor's window, with IMAGE opened
// and the patches listed when given.
#include "shell/GuardedApplication.h"

#include "shell/MainWindow.h"
#include "shell/UserPrompts.h"

int main(int argc, char** argv) {
    flashsmith::shell::GuardedApplication app(argc, argv);
    app.SetProductIdentity();

    QStringList args = QApplication::arguments();
    args.removeFirst();

    flashsmith::shell::ShellState state;
    flashsmith::shell::UserPrompts interactive;
    flashsmith::shell::TfMain window(state, interactive);
    window.show();
    window.OpenStartFiles(args);
    return app.exec();
}
