#include "shell/CBTreeView.h"

#include <algorithm>

namespace flashsmith::shell {

TCBTreeView::TCBTreeView(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    // The view toggles a box itself; this follows up on the new state.
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (updating_ || column != 0 || StateIndex(item) == 0) return;
        if (SetCheckToChilds) Propagate(item, StateIndex(item));
        emit stateChanged(item);
    });
}

int TCBTreeView::StateIndex(const QTreeWidgetItem* item) {
    // A node without check state data shows no box.
    const QVariant state = item->data(0, Qt::CheckStateRole);
    if (!state.isValid()) return 0;
    return state.toInt() == Qt::Checked ? 2 : 1;
}

void TCBTreeView::SetStateIndex(QTreeWidgetItem* item, int state) {
    if (state <= 0) {
        item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
        item->setData(0, Qt::CheckStateRole, QVariant());
        return;
    }
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, state == 2 ? Qt::Checked : Qt::Unchecked);
}

void TCBTreeView::ToggleState(QTreeWidgetItem* item) {
    const int state = StateIndex(item);
    if (state == 0) return;
    item->setCheckState(0, (state ^ 3) == 2 ? Qt::Checked : Qt::Unchecked);
}

void TCBTreeView::Propagate(QTreeWidgetItem* item, int state) {
    updating_ = true;
    // Boxless descendants keep their state, but their own children are visited.
    std::function<void(QTreeWidgetItem*)> visit = [&](QTreeWidgetItem* node) {
        for (int i = 0; i < node->childCount(); ++i) {
            QTreeWidgetItem* child = node->child(i);
            if (StateIndex(child) > 0) SetStateIndex(child, state);
            visit(child);
        }
    };
    visit(item);
    updating_ = false;
}

void TCBTreeView::SetSortType(SortKind kind) {
    if (kind == sortType_) return;
    sortType_ = kind;
    const bool byText = kind == SortKind::Text || kind == SortKind::Both;
    const bool byData = (kind == SortKind::Data || kind == SortKind::Both) && OnCompare;
    if (!byText && !byData) return;
    SortChildren(invisibleRootItem());
}

void TCBTreeView::SortChildren(QTreeWidgetItem* parent) {
    QList<QTreeWidgetItem*> items = parent->takeChildren();
    std::stable_sort(items.begin(), items.end(), [this](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        if (OnCompare && sortType_ != SortKind::Text) return OnCompare(a, b) < 0;
        return QString::localeAwareCompare(a->text(0), b->text(0)) < 0;
    });
    parent->addChildren(items);
    for (QTreeWidgetItem* item : items) SortChildren(item);
}

}  // namespace flashsmith::shell
