// flashsmith [IMAGE] [PATCH.spf...]: the editor's window, with IMAGE opened
// and the patches listed when given.
// flashsmith --screenshots DIR [IMAGE]: grabs the windows into DIR as PNG
// files and quits (see Screenshots.h).
#include <QTimer>

#include "shell/GuardedApplication.h"

#include "shell/Icons.h"
#include "shell/MainWindow.h"
#include "shell/PhoneShots.h"
#include "shell/Screenshots.h"
#include "shell/UserPrompts.h"
#include "shell/Version.h"

namespace {

// Screenshots run unattended: the first-start About box must not wait for
// a click.
class UnattendedPrompts : public flashsmith::shell::UserPrompts {
public:
    void ShowModal(QDialog*) override {}
};

}  // namespace

int main(int argc, char** argv) {
    flashsmith::shell::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(flashsmith::shell::ProductName());
    QApplication::setApplicationVersion(flashsmith::shell::ProductVersion());
    QApplication::setWindowIcon(flashsmith::shell::AppIcon());

    QStringList args = QApplication::arguments();
    args.removeFirst();
    QString screenshots;
    if (args.size() >= 2 && args[0] == "--screenshots") {
        screenshots = args[1];
        args = args.mid(2);
    }

    flashsmith::shell::ShellState state;
    flashsmith::shell::UserPrompts interactive;
    UnattendedPrompts unattended;
    flashsmith::shell::TfMain window(state, screenshots.isEmpty() ? interactive : unattended);
    window.show();
    window.OpenStartFiles(args);
    if (!screenshots.isEmpty()) {
        int rc = 0;
        QTimer::singleShot(0, [&] {
            rc = flashsmith::shell::TakeScreenshots(window, screenshots, flashsmith::shell::ShootPhoneView) ? 0 : 1;
            window.close();
            app.exit(rc);
        });
        app.exec();
        return rc;
    }
    return app.exec();
}
