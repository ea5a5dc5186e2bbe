// The application object of the window: an operation that runs out of memory
// anywhere below an event (an open, a patch, a conversion, a transfer) ends
// with a message box instead of ending the program, so the open image and
// every pending edit stay.
#pragma once

#include <QApplication>
#include <functional>

namespace flashsmith::shell {

class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    // The product's name, version and window icon, as the windows show them.
    void SetProductIdentity();

    // Tells the user; a message box unless replaced (tests record it).
    std::function<void(const QString& text)> ReportFailure;
};

}  // namespace flashsmith::shell
