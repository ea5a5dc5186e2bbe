#include "PhoneShots.h"

#include <QCoreApplication>
#include <QDir>
#include <QTabWidget>
#include <QThread>

#include "PhoneSim.h"
#include "shell/FileManPane.h"
#include "shell/MainWindow.h"
#include "shell/PhoneFileManView.h"

namespace flashsmith::shell {

namespace {

std::string Filler(size_t n) { return std::string(n, '\x5A'); }

}  // namespace

bool ShootPhoneView(TfMain& window, const QString& dir) {
    phonesim::PhoneSim sim;
    if (!sim.Start()) return false;
    sim.AddFile(1, {"Classic Ring", Filler(4211), 0});
    sim.AddFile(1, {"Morning Bells", Filler(9870), 0});
    sim.AddFile(1, {"Short Beep", Filler(613), 0});
    sim.AddFile(2, {"Wallpaper", Filler(20480), 11});
    sim.AddFile(3, {"e:\\S100\\Snake.jar", Filler(31002), 0});

    ConnectionState& conn = window.State().Conn;
    conn.PortDevice = sim.SlavePath();
    TfrPhoneFileMan* view = window.frPhoneFileMan;
    window.PageControl->setCurrentWidget(window.TabSheet5);  // connects
    view->SelectNode("Sounds");
    view->SelectRows({1});
    view->frFileMan->SetFolder(QDir::homePath());
    for (int i = 0; i < 10; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    const bool ok = conn.Connected && window.grab().save(QDir(dir).filePath("phone-manager.png"), "PNG");
    view->aDisconnectExecute();
    conn.PortDevice.clear();
    window.PageControl->setCurrentWidget(window.TabSheet1);
    sim.Stop();
    return ok;
}

}  // namespace flashsmith::shell
