#include "shell/CommandLink.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>

namespace flashsmith::shell {

namespace {

// Copies the command's state to a control; the caption only when the
// command's own caption has changed, so a caption a pack gave the control
// survives the command being enabled or disabled.
template <typename SetEnabled, typename SetText>
void Follow(QObject* control, QAction* command, bool takeCaption, SetEnabled setEnabled, SetText setText) {
    setEnabled(command->isEnabled());
    if (takeCaption) setText(command->text());
    QObject::connect(command, &QAction::changed, control,
                     [command, takeCaption, setEnabled, setText, last = command->text()]() mutable {
                         setEnabled(command->isEnabled());
                         if (takeCaption && command->text() != last) {
                             last = command->text();
                             setText(last);
                         }
                     });
}

}  // namespace

void BindButton(QPushButton* button, QAction* command, bool takeCaption) {
    Follow(
        button, command, takeCaption, [button](bool on) { button->setEnabled(on); },
        [button](const QString& t) { button->setText(t); });
    QObject::connect(button, &QPushButton::clicked, command, &QAction::trigger);
}

QAction* AddCommandItem(QMenu* menu, QAction* command, const char* name) {
    QAction* item = menu->addAction(command->text());
    item->setObjectName(name);
    Follow(
        item, command, true, [item](bool on) { item->setEnabled(on); }, [item](const QString& t) { item->setText(t); });
    QObject::connect(item, &QAction::triggered, command, &QAction::trigger);
    return item;
}

}  // namespace flashsmith::shell
