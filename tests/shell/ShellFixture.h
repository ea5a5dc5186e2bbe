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
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "demo/DemoFirmware.h"
#include "shell/MainWindow.h"
#include "shell/SavePatchDialog.h"
#include "support/ScriptedPrompts.h"
#include "support/Wait.h"

namespace flashsmith::shell::test {

using flashsmith::test::ScriptedPrompts;
using flashsmith::test::Shown;
using flashsmith::test::WaitForIdle;
using flashsmith::test::WaitUntil;

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.isValid());
        std::string error;
        ASSERT_TRUE(flashsmith::demo::WriteDemoFirmware(Path("demo").toStdString(), {}).Take(demo, &error)) << error;
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
