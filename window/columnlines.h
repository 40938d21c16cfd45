// The grid's cells with a line on their right edge only: column lines without row lines, which the
// table view's own grid cannot draw (it draws both or neither).
#pragma once

#include <QStyledItemDelegate>

namespace window {

class TColumnLineDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace window
