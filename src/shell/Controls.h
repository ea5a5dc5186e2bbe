// The controls every page makes the same way: named buttons, boxes, edits
// and commands, the Windows list view's four styles, and a status bar's row
// of sunken panels. Names matter: language packs find captions by them.
#pragma once

#include <QSize>
#include <QString>
#include <functional>

class QAbstractItemView;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QObject;
class QPushButton;
class QStackedWidget;
class QStatusBar;
class QWidget;

namespace flashsmith::shell {

QPushButton* MakeButton(const QString& text, const char* name, QWidget* owner);
QCheckBox* MakeCheck(const QString& text, const char* name, QWidget* owner);
// maxLength 0: no limit beyond Qt's own.
QLineEdit* MakeEdit(const char* name, QWidget* owner, int maxLength = 0);
QAction* MakeAction(const QString& text, const char* name, QObject* owner);

// A list shown as a table (the report style) or, in the other styles, as
// a list view of the same model; the two share one page of stack each.
enum ListStyle { kSmallIconsStyle = 1, kIconsStyle = 2, kListStyle = 3, kReportStyle = 4 };
// Shows style tag (anything else is the report style); iconGrid is the
// cell of the icons style. Returns the style shown.
int ShowListStyle(QStackedWidget* stack, QAbstractItemView* table, QListView* icons, int tag, QSize iconGrid);
// The "Small Icons", "Icons", "List", "Table" items of a list's pop-up
// menu, named by names (nullptr: unnamed), each telling choose its tag
// (an empty choose: the items do nothing).
void AddListStyleItems(QMenu* menu, const char* const* names, const std::function<void(int tag)>& choose);

// Four sunken panels, named prefix0 to prefix3, across bar; each at least
// its minimum width, the last at most lastMaxWidth and taking the room left.
// Their texts are the program's, not a language pack's.
void AddStatusPanels(QStatusBar* bar, const QString& prefix, const int (&minWidths)[4], int lastMaxWidth,
                     QLabel* (&panels)[4]);

}  // namespace flashsmith::shell
