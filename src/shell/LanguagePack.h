// Language packs: INI files "*.lng" (Windows-1251) whose sections are named
// after the windows and embedded views and whose keys are control names.
// Applying a pack changes captions only; the first change of a control keeps
// its built-in English text, so English can come back without a restart.
#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include "firmware/IniFile.h"

class QObject;
class QWidget;

namespace flashsmith::shell {

// Embedded views by the section names their texts are filed under.
using ViewSections = QHash<const QWidget*, QString>;

// Applies the pack to window (section = its object name; its caption under
// its own key unless it is the main window) and, each under its own
// section, to the views of views found inside it.
void ApplyLanguagePack(QWidget* window, const flashsmith::firmware::IniFile& pack, const ViewSections& views, bool mainWindow);

// One text a pack can change: the section and key it is filed under and the
// control's text now.
struct PackEntry {
    QObject* Control;
    QString Section;
    QString Key;
    QString Text;
};

// Every text ApplyLanguagePack would look up for window, in its order.
QList<PackEntry> TranslatableTexts(QWidget* window, const ViewSections& views, bool mainWindow);

// Marks a control whose text is data (a port, a pack's language, a figure
// the program writes): no pack changes it and none needs to name it.
void MarkTextAsData(QObject* control);

// Puts back the built-in texts of every control below window that a pack
// changed.
void RestoreBuiltInTexts(QWidget* window);

}  // namespace flashsmith::shell
