// "Firmware Profile": the choice among several description files that fit
// one firmware version.
#pragma once

#include <QDialog>

class QListWidget;
class QPushButton;

namespace flashsmith::shell {

class TfSelProfile : public QDialog {
    Q_OBJECT
public:
    explicit TfSelProfile(QWidget* parent = nullptr);

    // Shows the file names (without folder) of paths modally; the index of
    // the chosen one, or -1 when the dialog is closed without a choice.
    int Choose(const QStringList& paths);
    // Fills the list without showing the dialog (Choose does both).
    void Fill(const QStringList& paths);

    int Tag() const { return tag_; }
    QListWidget* lbSelProfile = nullptr;
    QPushButton* bSelect = nullptr;

private:
    void bSelectClick();
    int tag_ = -1;
};

}  // namespace flashsmith::shell
