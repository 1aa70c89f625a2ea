#pragma once
// Activating a row of a list: a double click, or Enter on the current row.
// Qt's own `activated` also fires on a single click where the desktop is
// set to open items with one click; on the disk list that would start a
// scan, on the file list restart a playing preview, at a mere selection.
#include <QAbstractItemView>
#include <functional>

namespace salvora {

// Calls `onActivate` with the row's index on a double click or on Enter
// (or Return) in `view`; the connection lives as long as `view`.
void OnRowActivation(QAbstractItemView* view, std::function<void(const QModelIndex&)> onActivate);

// Activates `index` as a double click would, for assistive technology
// (nothing where `view` has no activation).
void ActivateRow(QAbstractItemView* view, const QModelIndex& index);

}  // namespace salvora
