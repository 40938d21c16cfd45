// dsCall as the grid sees it, without a database.
#include <gtest/gtest.h>

#include "calllistmodel.h"

using namespace calls;

namespace {

TCallRecord Record() {
  TCallRecord call;
  call.DATA = {2026, 3, 14, 23, 59, 58};
  call.RAMA = "20155";
  call.NUME_DISC = "1234567890123456789012";
  call.DURA = " 00:00:09 ";
  call.SENH = "9876";
  call.TRON = " 3";
  call.TIPO = "X";
  return call;
}

TEST(CallListModel, ColumnsInOrderWithTheirTitles) {
  TCallListModel model;
  ASSERT_EQ(model.columnCount(), 7);
  const QStringList titles{"Data", "Ramal", "Número Discado", "Duração", "Tronco", "SENH", "TIPO"};
  for (int column = 0; column < 7; ++column) {
    EXPECT_EQ(model.headerData(column, Qt::Horizontal).toString(), titles[column]);
    EXPECT_EQ(IsHiddenColumn(column), column >= 5) << column;
  }
}

TEST(CallListModel, ARowHoldsTheCallCutToItsWidthsWithTipoNull) {
  TCallListModel model;
  model.Append(CallRowFrom(Record()));
  const QVariant data = model.data(model.index(0, ccDATA));
  EXPECT_EQ(data.metaType().id(), QMetaType::QDateTime);
  EXPECT_EQ(data.toDateTime(), QDateTime(QDate(2026, 3, 14), QTime(23, 59, 58)));
  EXPECT_EQ(model.data(model.index(0, ccRAMA)).toString(), "2015");
  EXPECT_EQ(model.data(model.index(0, ccNUME_DISC)).toString(), "12345678901234567890");
  EXPECT_EQ(model.data(model.index(0, ccDURA)).toString(), " 00:00:09 ");
  EXPECT_EQ(model.data(model.index(0, ccSENH)).toString(), "9876");
  EXPECT_EQ(model.data(model.index(0, ccTRON)).toString(), " 3");
  EXPECT_TRUE(model.data(model.index(0, ccTIPO)).isNull());
  EXPECT_EQ(model.data(model.index(0, ccTRON), Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
  EXPECT_FALSE(model.flags(model.index(0, ccRAMA)).testFlag(Qt::ItemIsEditable));
}

TEST(CallListModel, AppendingAnnouncesOneRowAtTheEnd) {
  TCallListModel model;
  TRowBlocks rows;
  rows.push_back(CallRowFrom(Record()));
  rows.push_back(CallRowFrom(Record()));
  model.Reset(std::move(rows));
  std::vector<std::pair<int, int>> inserted;
  QObject::connect(&model, &QAbstractItemModel::rowsInserted,
                   [&](const QModelIndex&, int first, int last) { inserted.emplace_back(first, last); });
  model.Append(CallRowFrom(Record()));
  EXPECT_EQ(inserted, (std::vector<std::pair<int, int>>{{2, 2}}));
  EXPECT_EQ(model.rowCount(), 3);
}

TEST(CallListModel, RowsSpanningBlocksKeepTheirOrder) {
  TRowBlocks rows;
  for (int i = 0; i < 10000; ++i) {
    TCallRecord call = Record();
    call.RAMA = std::to_string(i % 1000);
    rows.push_back(CallRowFrom(call));
  }
  TCallListModel model;
  model.Reset(std::move(rows));
  ASSERT_EQ(model.rowCount(), 10000);
  for (const int row : {0, 4095, 4096, 8191, 8192, 9999}) {
    EXPECT_EQ(model.data(model.index(row, ccRAMA)).toString(), QString::number(row % 1000)) << row;
  }
}

TEST(CallListModel, TextKeepsAccentsWithinTheWidth) {
  TCallRecord call = Record();
  call.NUME_DISC = "ÁÉÍÓÚáéíóúçãõ0123456789";
  TCallListModel model;
  model.Append(CallRowFrom(call));
  EXPECT_EQ(model.data(model.index(0, ccNUME_DISC)).toString(), QString::fromUtf8("ÁÉÍÓÚáéíóúçãõ0123456"));
}

}  // namespace
