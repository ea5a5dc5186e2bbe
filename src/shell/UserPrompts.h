// Every question the windows ask the user goes through this one interface,
// so the GUI tests can script the answers. The default answers come from the
// ordinary Qt dialogs.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QDialog;
class QWidget;

namespace flashsmith::shell {

class TfSelProfile;

class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // filter: "Description|*.ext|Other|*.a;*.b" pairs.
    virtual std::optional<QString> OpenFile(QWidget* parent, const QString& filter, const QString& initial);
    virtual std::optional<QString> SaveFile(QWidget* parent, const QString& filter, const QString& initial);
    virtual std::optional<QString> Folder(QWidget* parent, const QString& title);
    // Index into names of the chosen profile, -1 when the choice is cancelled.
    virtual int ChooseProfile(QWidget* parent, const QStringList& names);
    virtual void Message(QWidget* parent, const QString& text, const QString& caption);
    // The same with a warning icon (a phone's refusal).
    virtual void Warning(QWidget* parent, const QString& text, const QString& caption);
    // Shows a dialog modally and hides it when it returns.
    virtual void ShowModal(QDialog* dialog);

    // The dialog ChooseProfile shows; set by the main window that owns it.
    void SetProfileDialog(TfSelProfile* dialog) { profileDialog_ = dialog; }

private:
    TfSelProfile* profileDialog_ = nullptr;
};

// "BMP Images (*.bmp)|*.bmp|Jpeg Images (*.jpg)|*.jpg" -> Qt's
// "BMP Images (*.bmp);;Jpeg Images (*.jpg)".
QString QtFilter(const QString& filter);

}  // namespace flashsmith::shell
