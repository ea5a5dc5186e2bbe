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
class UnattendedPrompts : public fs::shell::UserPrompts {
public:
    void ShowModal(QDialog*) override {}
};

}  // namespace

int main(int argc, char** argv) {
    fs::shell::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(fs::shell::ProductName());
    QApplication::setApplicationVersion(fs::shell::ProductVersion());
    QApplication::setWindowIcon(fs::shell::AppIcon());

    QStringList args = QApplication::arguments();
    args.removeFirst();
    QString screenshots;
    if (args.size() >= 2 && args[0] == "--screenshots") {
        screenshots = args[1];
        args = args.mid(2);
    }

    fs::shell::ShellState state;
    fs::shell::UserPrompts interactive;
    UnattendedPrompts unattended;
    fs::shell::TfMain window(state, screenshots.isEmpty() ? interactive : unattended);
    window.show();
    window.OpenStartFiles(args);
    if (!screenshots.isEmpty()) {
        int rc = 0;
        QTimer::singleShot(0, [&] {
            rc = fs::shell::TakeScreenshots(window, screenshots, fs::shell::ShootPhoneView) ? 0 : 1;
            window.close();
            app.exit(rc);
        });
        app.exec();
        return rc;
    }
    return app.exec();
}
