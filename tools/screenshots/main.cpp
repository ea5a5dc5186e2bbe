// flashsmith-screenshots DIR [IMAGE]: the editor's window with IMAGE opened,
// grabbed into DIR as PNG files page by page (see Screenshots.h); quits when
// done. Not part of the product: it drives the windows from outside.
#include <QTimer>

#include "PhoneShots.h"
#include "Screenshots.h"
#include "shell/GuardedApplication.h"
#include "shell/MainWindow.h"
#include "shell/UserPrompts.h"

#include <iostream>

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
    app.SetProductIdentity();

    QStringList args = QApplication::arguments();
    args.removeFirst();
    if (args.isEmpty()) {
        std::cerr << "usage: flashsmith-screenshots DIR [IMAGE]\n";
        return 2;
    }
    const QString dir = args.takeFirst();

    flashsmith::shell::ShellState state;
    UnattendedPrompts unattended;
    flashsmith::shell::TfMain window(state, unattended);
    window.show();
    window.OpenStartFiles(args);
    int rc = 0;
    QTimer::singleShot(0, [&] {
        rc = flashsmith::shell::TakeScreenshots(window, dir, flashsmith::shell::ShootPhoneView) ? 0 : 1;
        window.close();
        app.exit(rc);
    });
    app.exec();
    return rc;
}
