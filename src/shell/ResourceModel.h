// The resource list of the "Firmware Editor" page: one row per entry of the
// category shown, straight from the firmware state. Rows are made on demand
// and cached, so a language of thousands of strings scrolls smoothly.
#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <optional>
#include <vector>

#include "editing/ResourceList.h"
#include "firmware/Variables.h"

namespace flashsmith::shell {

class ResourceModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kName = 0, kSize = 1, kId = 2 };

    explicit ResourceModel(const firmware::FirmwareState& state, QObject* parent = nullptr);

    // Shows the rows of a category (-1: none) and drops every cached row.
    void SetCategory(int32_t category);
    int32_t Category() const { return category_; }
    // Re-reads the given rows (after an edit) or all of them.
    void RefreshRows(const std::vector<int32_t>& rows);
    void RefreshAll();
    // Whether names may be edited in place (language categories).
    void SetEditable(bool editable) { editable_ = editable; }

    // Called with the row and the new name (in the system's 8-bit code page)
    // when an edit is committed; returns whether the row changed.
    std::function<bool(int32_t row, const std::string& ansiName)> OnEdited;

    const editing::ListRow& Row(int32_t row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    const firmware::FirmwareState& state_;
    int32_t category_ = -1;
    int32_t rows_ = 0;
    bool editable_ = false;
    mutable std::vector<std::optional<editing::ListRow>> cache_;
};

}  // namespace flashsmith::shell
