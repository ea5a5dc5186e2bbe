// Answers to every question a window asks the user, given in advance by a
// test, and a record of what was asked and shown.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "shell/UserPrompts.h"

namespace flashsmith::test {

struct Shown {
    QString text, caption;
};

class ScriptedPrompts : public shell::UserPrompts {
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

}  // namespace flashsmith::test
