// A tree whose nodes may carry a check box: state 0 no box, 1 an empty box,
// 2 a ticked box. With SetCheckToChilds a click on a box gives every boxed
// descendant the same state.
#pragma once

#include <QTreeWidget>
#include <functional>

namespace flashsmith::shell {

class TCBTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TCBTreeView(QWidget* parent = nullptr);

    static int StateIndex(const QTreeWidgetItem* item);
    static void SetStateIndex(QTreeWidgetItem* item, int state);
    static bool Checked(const QTreeWidgetItem* item) { return StateIndex(item) == 2; }

    bool SetCheckToChilds = false;

    enum class SortKind { None, Data, Text, Both };
    // Sorting by text is locale-aware and case-sensitive; by data needs a
    // compare handler (negative, 0 or positive, like strcmp).
    void SetSortType(SortKind kind);
    SortKind SortType() const { return sortType_; }
    std::function<int(const QTreeWidgetItem*, const QTreeWidgetItem*)> OnCompare;

    // Toggles a node's box as a click on it does (1 <-> 2); nothing for 0.
    void ToggleState(QTreeWidgetItem* item);

signals:
    void stateChanged(QTreeWidgetItem* item);

private:
    void Propagate(QTreeWidgetItem* item, int state);
    void SortChildren(QTreeWidgetItem* parent);
    SortKind sortType_ = SortKind::None;
    bool updating_ = false;
};

}  // namespace flashsmith::shell
