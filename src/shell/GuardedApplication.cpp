#include "shell/GuardedApplication.h"

#include <QMessageBox>
#include <new>

#include "shell/Icons.h"
#include "shell/Version.h"

namespace flashsmith::shell {

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {
    ReportFailure = [](const QString& text) { QMessageBox::critical(activeWindow(), ProductName(), text); };
}

void GuardedApplication::SetProductIdentity() {
    setApplicationName(ProductName());
    setApplicationVersion(ProductVersion());
    setWindowIcon(AppIcon());
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
        ReportFailure("Not enough memory: the operation was stopped. The open image and its changes are kept.");
        return false;
    }
}

}  // namespace flashsmith::shell
