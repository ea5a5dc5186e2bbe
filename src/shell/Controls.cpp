#include "shell/Controls.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>

#include "shell/LanguagePack.h"

namespace flashsmith::shell {

QPushButton* MakeButton(const QString& text, const char* name, QWidget* owner) {
    auto* b = new QPushButton(text, owner);
    b->setObjectName(name);
    return b;
}

QCheckBox* MakeCheck(const QString& text, const char* name, QWidget* owner) {
    auto* c = new QCheckBox(text, owner);
    c->setObjectName(name);
    return c;
}

QLineEdit* MakeEdit(const char* name, QWidget* owner, int maxLength) {
    auto* e = new QLineEdit(owner);
    e->setObjectName(name);
    if (maxLength > 0) e->setMaxLength(maxLength);
    return e;
}

QAction* MakeAction(const QString& text, const char* name, QObject* owner) {
    auto* a = new QAction(text, owner);
    a->setObjectName(name);
    return a;
}

int ShowListStyle(QStackedWidget* stack, QAbstractItemView* table, QListView* icons, int tag, QSize iconGrid) {
    switch (tag) {
        case kSmallIconsStyle:
        case kListStyle:
            icons->setViewMode(QListView::ListMode);
            icons->setFlow(tag == kSmallIconsStyle ? QListView::LeftToRight : QListView::TopToBottom);
            icons->setWrapping(true);
            icons->setIconSize({16, 16});
            icons->setGridSize({});
            break;
        case kIconsStyle:
            icons->setViewMode(QListView::IconMode);
            icons->setIconSize({32, 32});
            icons->setGridSize(iconGrid);
            break;
        default:
            stack->setCurrentWidget(table);
            return kReportStyle;
    }
    // The icon mode makes items movable; a list of entries keeps its order.
    icons->setMovement(QListView::Static);
    stack->setCurrentWidget(icons);
    return tag;
}

void AddListStyleItems(QMenu* menu, const char* const* names, const std::function<void(int tag)>& choose) {
    const char* captions[] = {"Small Icons", "Icons", "List", "Table"};
    for (int tag = kSmallIconsStyle; tag <= kReportStyle; ++tag) {
        QAction* a = menu->addAction(captions[tag - 1]);
        if (names) a->setObjectName(names[tag - 1]);
        a->setData(tag);
        if (choose) QObject::connect(a, &QAction::triggered, menu, [choose, tag] { choose(tag); });
    }
}

void AddStatusPanels(QStatusBar* bar, const QString& prefix, const int (&minWidths)[4], int lastMaxWidth,
                     QLabel* (&panels)[4]) {
    bar->setSizeGripEnabled(false);
    auto* strip = new QWidget(bar);
    auto* layout = new QHBoxLayout(strip);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QLabel(strip);
        panel->setObjectName(prefix + QString::number(i));
        MarkTextAsData(panel);
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        // At least the classic widths: a long figure widens its panel rather
        // than being cut.
        panel->setMinimumWidth(minWidths[i]);
        if (i == 3) panel->setMaximumWidth(lastMaxWidth);
        panel->setContentsMargins(3, 0, 3, 0);
        layout->addWidget(panel, i == 3 ? 1 : 0);
        panels[i] = panel;
    }
    bar->addWidget(strip, 1);
}

}  // namespace flashsmith::shell
