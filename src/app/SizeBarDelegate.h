#pragma once
// Paints the disk list's size cell: how full the volume is as a bar, with
// its size written over it.
#include <QStyledItemDelegate>

namespace salvora {

class SizeBarDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
};

}  // namespace salvora
