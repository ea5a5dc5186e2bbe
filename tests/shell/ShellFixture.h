// A main window on the demo firmware in a scratch folder, with every
// question to the user answered from a script.
#pragma once

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QDir>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "demo/DemoFirmware.h"
#include "shell/MainWindow.h"
#include "shell/SavePatchDialog.h"
#include "shell/UserPrompts.h"
#include "support/Wait.h"

namespace flashsmith::shell::test {

struct Shown {
    QString text, caption;
};

class ScriptedPrompts : public UserPrompts {
public:
    // OpenFile and SaveFile answers; an empty text (or none left) cancels.
    std::deque<QString> Files;
    std::deque<QString> Folders;
    std::deque<int> Profiles;
    std::vector<QStringList> ProfileQuestions;
    std::vector<QString> Filters;
    std::vector<Shown> Messages;

    std::optional<QString> OpenFile(QWidget*, const QString& filter, const QString&) override {
        Filters.push_back(filter);
        return Next(Files);
    }
    std::optional<QString> SaveFile(QWidget*, const QString& filter, const QString&) override {
        Filters.push_back(filter);
        return Next(Files);
    }
    std::optional<QString> Folder(QWidget*, const QString&) override { return Next(Folders); }
    std::function<void()> WhileChoosing;  // looks at the window in mid-open
    int ChooseProfile(QWidget*, const QStringList& names) override {
        ProfileQuestions.push_back(names);
        if (WhileChoosing) WhileChoosing();
        if (Profiles.empty()) return -1;
        int r = Profiles.front();
        Profiles.pop_front();
        return r;
    }
    void Message(QWidget*, const QString& text, const QString& caption) override {
        Messages.push_back({text, caption});
    }
    void Warning(QWidget*, const QString& text, const QString& caption) override {
        Messages.push_back({text, caption});
    }
    std::vector<QString> Modals;  // object names of the dialogs shown
    void ShowModal(QDialog* dialog) override { Modals.push_back(dialog->objectName()); }

private:
    static std::optional<QString> Next(std::deque<QString>& q) {
        if (q.empty()) return std::nullopt;
        const QString r = q.front();
        q.pop_front();
        if (r.isEmpty()) return std::nullopt;
        return r;
    }
};

using flashsmith::test::WaitForIdle;
using flashsmith::test::WaitUntil;

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.isValid());
        std::string error;
        ASSERT_TRUE(WriteDemoFirmware(Path("demo").toStdString(), {}, &demo, &error)) << error;
        // The program's folder is apart from the image, whose description
        // file lies beside it.
        state.Fw.ProgramDir = Path("prog").toStdString() + "/";
        window = std::make_unique<TfMain>(state, prompts);
    }
    void TearDown() override {
        if (window) {
            state.Conn.Connected = state.Conn.Busy = false;
            window->close();
        }
    }

    QString Path(const QString& name) const { return QDir(scratch.path()).filePath(name); }
    QString Image() const { return QString::fromStdString(demo.ImagePath); }
    void Open() { ASSERT_TRUE(window->OpenFirmwareFile(Image())); }

    QTemporaryDir scratch;
    demo::DemoResult demo;
    ShellState state;
    ScriptedPrompts prompts;
    std::unique_ptr<TfMain> window;
};

}  // namespace flashsmith::shell::test
