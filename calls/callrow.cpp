#include "callrow.h"

namespace calls {

TCallRow CallRowFrom(const TCallRecord& call) {
  const TLocalDateTime& d = call.DATA;
  TCallRow row;
  row.DATA = TLocalStamp(QDate(d.Year, d.Month, d.Day), QTime(d.Hour, d.Minute, d.Second));
  row.RAMA.Assign(QString::fromStdString(call.RAMA));
  row.NUME_DISC.Assign(QString::fromStdString(call.NUME_DISC));
  row.DURA.Assign(QString::fromStdString(call.DURA));
  row.SENH.Assign(QString::fromStdString(call.SENH));
  row.TRON.Assign(QString::fromStdString(call.TRON));
  row.TIPO.AssignNull();
  return row;
}

}  // namespace calls
