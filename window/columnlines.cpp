#include "columnlines.h"

#include <QApplication>
#include <QPainter>

namespace window {

void TColumnLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
  QStyledItemDelegate::paint(painter, option, index);
  // The colour the table view's own grid would have.
  const QStyle* style = option.widget != nullptr ? option.widget->style() : QApplication::style();
  const auto rgba = static_cast<QRgb>(style->styleHint(QStyle::SH_Table_GridLineColor, &option, option.widget));
  painter->save();
  painter->setPen(QColor::fromRgba(rgba));
  painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
  painter->restore();
}

}  // namespace window
