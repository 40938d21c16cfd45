// The log panel's lines as a list model (the receive cycle's log): the day's lines in one buffer of UTF-8
// bytes with their end offsets, a few bytes over the text itself, so a whole busy day costs a few megabytes
// and a line shows without any text layout of the rest.
#pragma once

#include <QAbstractListModel>
#include <QSize>
#include <cstdint>
#include <string>
#include <vector>

#include "receivecycle.h"

namespace service {

// Beyond this many lines the oldest are dropped, a tenth of them at a time.
inline constexpr int MaxLogLines = 200000;

class TLogLines final : public QAbstractListModel, public capture::TLogSink {
 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  void AppendLine(const QString& line) override;
  void Clear() override;
  // Every line has the same size on screen: the view then lays out and scrolls without asking each.
  void SetLineSize(QSize size) { FLineSize = size; }

 private:
  void DropOldest(int count);

  QSize FLineSize;
  std::string FText;
  std::vector<std::uint32_t> FEnds;  // FEnds[i]: where line i ends in FText
};

}  // namespace service
