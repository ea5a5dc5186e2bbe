#include "shell/RegionBar.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include "editing/ResourceList.h"
#include "shell/QtText.h"
#include "shell/ResourceModel.h"

namespace flashsmith::shell {
using namespace flashsmith::firmware;
using namespace flashsmith::editing;

namespace {

constexpr int kLabelWidth = 64;
const QColor kFill(64, 160, 64);
const QColor kOver(220, 48, 48);

}  // namespace

RegionBar::RegionBar(const FirmwareState& state, QWidget* parent) : QWidget(parent), state_(state) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setMouseTracking(true);
    hide();
}

void RegionBar::ShowRegions(const std::vector<int32_t>& regions) {
    regions_ = regions;
    Refresh();
}

void RegionBar::Refresh() {
    bars_.clear();
    for (int32_t r : regions_) bars_.push_back(DescribeRegion(state_, r));
    setVisible(!bars_.empty());
    updateGeometry();
    update();
}

QString RegionBar::Caption(int i) const {
    const int32_t r = bars_[static_cast<size_t>(i)].Region;
    if (r == kCatImages) return "Images";
    if (r == kCatSounds) return "Sounds";
    if (r == kCatJava) return "Java";
    const LanguageRef lang = LanguageOf(state_, r);
    return QString("Lang_%1/%2").arg(lang.Lang + 1).arg(lang.Table);
}

QString RegionBar::ToolTipText(int i) const {
    const RegionUsage& u = bars_[static_cast<size_t>(i)];
    QString text = Caption(i) + ": " + QString::number(u.Used) + " / " + QString::number(u.Size);
    if (u.Over()) text += "  " + QString("(%1 bytes too many)").arg(u.Used - u.Size);
    if (!u.Largest.empty()) text += "\n" + QString("Largest entries:");
    const bool language = u.Region >= kCatFirstLanguage;
    for (const EntryShare& e : u.Largest) {
        const ListRow row = MakeListRow(state_, u.Region, e.Row);
        QString name = language ? FromAnsi(row.Name) : BytesToQString(row.Name);
        if (name.size() > 40) name = name.left(39) + QChar(0x2026);
        text += "\n  " + name + "  " + QString::number(e.Bytes);
    }
    return text;
}

int RegionBar::RowHeight() const { return fontMetrics().height() + 6; }

QRect RegionBar::BarRect(int i) const {
    return QRect(kLabelWidth, i * RowHeight() + 2, std::max(0, width() - kLabelWidth - 2), RowHeight() - 4);
}

int RegionBar::BarAt(const QPoint& pos) const {
    const int i = pos.y() / RowHeight();
    return pos.y() >= 0 && i < BarCount() ? i : -1;
}

QSize RegionBar::sizeHint() const { return {200, BarCount() * RowHeight()}; }
QSize RegionBar::minimumSizeHint() const { return {kLabelWidth + 40, BarCount() * RowHeight()}; }

void RegionBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    for (int i = 0; i < BarCount(); ++i) {
        const RegionUsage& u = bars_[static_cast<size_t>(i)];
        const QRect bar = BarRect(i);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(QRect(0, bar.top(), kLabelWidth - 4, bar.height()), Qt::AlignLeft | Qt::AlignVCenter, Caption(i));
        p.fillRect(bar, palette().color(QPalette::Base));
        const double share = u.Size > 0 ? std::min(1.0, static_cast<double>(std::max<int64_t>(0, u.Used)) / u.Size)
                                         : (u.Used > 0 ? 1.0 : 0.0);
        QRect filled = bar;
        filled.setWidth(static_cast<int>(bar.width() * share + 0.5));
        p.fillRect(filled, u.Over() ? kOver : kFill);
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(bar.adjusted(0, 0, -1, -1));
        const int percent = u.Size > 0 ? static_cast<int>(u.Used * 100 / u.Size) : 0;
        p.setPen(palette().color(QPalette::Text));
        p.drawText(bar, Qt::AlignCenter,
                   QString("%1 / %2 (%3%)").arg(u.Used).arg(u.Size).arg(percent));
    }
}

bool RegionBar::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int i = BarAt(help->pos());
        if (i >= 0) QToolTip::showText(help->globalPos(), ToolTipText(i), this, BarRect(i));
        else QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

}  // namespace flashsmith::shell
