#include "shell/UserPrompts.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

#include "shell/SelProfile.h"

namespace flashsmith::shell {

QString QtFilter(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString desc = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        // Descriptions that already show their pattern keep it once.
        if (!desc.endsWith(')')) desc += " (" + patterns + ")";
        out << desc;
    }
    return out.join(";;");
}

std::optional<QString> UserPrompts::OpenFile(QWidget* parent, const QString& filter, const QString& initial) {
    QString path = QFileDialog::getOpenFileName(parent, QString(), initial, QtFilter(filter));
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> UserPrompts::SaveFile(QWidget* parent, const QString& filter, const QString& initial) {
    // Overwriting is the caller's decision (patch creation deletes the old file).
    QString path = QFileDialog::getSaveFileName(parent, QString(), initial, QtFilter(filter), nullptr,
                                                QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> UserPrompts::Folder(QWidget* parent, const QString& title) {
    QString dir = QFileDialog::getExistingDirectory(parent, title, QString(), QFileDialog::ShowDirsOnly);
    if (dir.isEmpty()) return std::nullopt;
    return dir;
}

int UserPrompts::ChooseProfile(QWidget* parent, const QStringList& names) {
    if (profileDialog_) return profileDialog_->Choose(names);
    TfSelProfile dialog(parent);
    return dialog.Choose(names);
}

void UserPrompts::Message(QWidget* parent, const QString& text, const QString& caption) {
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void UserPrompts::Warning(QWidget* parent, const QString& text, const QString& caption) {
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void UserPrompts::ShowModal(QDialog* dialog) {
    dialog->exec();
    dialog->hide();
}

}  // namespace flashsmith::shell
