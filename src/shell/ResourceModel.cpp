#include "shell/ResourceModel.h"

#include <QBrush>
#include <QColor>

#include "editing/StringEdit.h"
#include "shell/Icons.h"
#include "shell/QtText.h"

namespace flashsmith::shell {
using namespace flashsmith::firmware;
using namespace flashsmith::editing;

ResourceModel::ResourceModel(const FirmwareState& state, QObject* parent)
    : QAbstractTableModel(parent), state_(state) {}

void ResourceModel::SetCategory(int32_t category) {
    beginResetModel();
    category_ = category;
    rows_ = category >= 0 && state_.FirmwareLoaded ? RowCount(state_, category) : 0;
    cache_.assign(static_cast<size_t>(rows_), std::nullopt);
    endResetModel();
}

void ResourceModel::RefreshRows(const std::vector<int32_t>& rows) {
    for (int32_t r : rows) {
        if (r < 0 || r >= rows_) continue;
        cache_[static_cast<size_t>(r)].reset();
        emit dataChanged(index(r, 0), index(r, columnCount() - 1));
    }
}

void ResourceModel::RefreshAll() {
    const int32_t now = category_ >= 0 && state_.FirmwareLoaded ? RowCount(state_, category_) : 0;
    if (now != rows_) {
        SetCategory(category_);
        return;
    }
    for (auto& c : cache_) c.reset();
    if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, columnCount() - 1));
}

const ListRow& ResourceModel::Row(int32_t row) const {
    auto& slot = cache_[static_cast<size_t>(row)];
    if (!slot) slot = MakeListRow(state_, category_, row);
    return *slot;
}

int ResourceModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int ResourceModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant ResourceModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_) return {};
    const ListRow& row = Row(index.row());
    const bool language = category_ >= kCatFirstLanguage;
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
        case Qt::ToolTipRole:
            switch (index.column()) {
                case kName: return language ? FromAnsi(row.Name) : BytesToQString(row.Name);
                case kSize: return role == Qt::ToolTipRole ? QVariant() : QString::fromStdString(row.Size);
                default: return role == Qt::ToolTipRole ? QVariant() : QString::fromStdString(row.Id);
            }
        case Qt::DecorationRole:
            return index.column() == kName ? QVariant(ResourceIcon(row.Icon)) : QVariant();
        case Qt::ForegroundRole:
            if (row.Colour == RowColour::Normal) return {};
            {
                const uint32_t rgb = RowColourRgb(row.Colour);
                return QBrush(QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
            }
        case Qt::TextAlignmentRole:
            return index.column() == kName ? QVariant(int(Qt::AlignLeft | Qt::AlignVCenter))
                                           : QVariant(int(Qt::AlignRight | Qt::AlignVCenter));
        default: return {};
    }
}

QVariant ResourceModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) {
        static const char* names[] = {"Name", "Size", "ID"};
        return section >= 0 && section < 3 ? names[section] : QVariant();
    }
    if (role == Qt::TextAlignmentRole && section > 0) return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags ResourceModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    // Only strings of their own (not duplicates or borrowed ones) are editable.
    if (editable_ && index.column() == kName && category_ >= kCatFirstLanguage &&
        CanEditString(state_, category_, index.row()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool ResourceModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable) || !OnEdited) return false;
    const std::string ansi = ToAnsi(value.toString());
    // Characters the 8-bit code page lacks become '?', as everywhere else.
    const bool changed = OnEdited(index.row(), ansi);
    RefreshRows({index.row()});
    return changed;
}

}  // namespace flashsmith::shell
