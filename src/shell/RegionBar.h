// The region bar under the resource list: one bar per memory region of the
// selected tree node, filled to its use and red when the edits no longer
// fit; its tooltip names the entries that take the most space.
#pragma once

#include <QWidget>
#include <vector>

#include "editing/RegionUsage.h"
#include "firmware/Variables.h"

namespace flashsmith::shell {

class RegionBar : public QWidget {
    Q_OBJECT
public:
    explicit RegionBar(const firmware::FirmwareState& state, QWidget* parent = nullptr);

    // Shows these regions (none hides the bar) with their current figures.
    void ShowRegions(const std::vector<int32_t>& regions);
    // Re-reads the figures of the regions shown.
    void Refresh();

    int BarCount() const { return static_cast<int>(bars_.size()); }
    const editing::RegionUsage& Bar(int i) const { return bars_[static_cast<size_t>(i)]; }
    QString Caption(int i) const;
    QString ToolTipText(int i) const;
    // The bar under a point of the widget, -1 for none.
    int BarAt(const QPoint& pos) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    int RowHeight() const;
    QRect BarRect(int i) const;

    const firmware::FirmwareState& state_;
    std::vector<int32_t> regions_;
    std::vector<editing::RegionUsage> bars_;
};

}  // namespace flashsmith::shell
