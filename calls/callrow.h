// One row of the call list as held in memory: fixed-width text in place and the date as a number, so
// a day of 100,000 calls costs one allocation per row and no time-zone lookups to build.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <QVariant>
#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

#include "callrecord.h"

namespace calls {

// A text field of at most Width characters; longer values are cut when assigned.
template <int Width>
class TFixedText {
 public:
  void Assign(QStringView value) {
    FLength = static_cast<std::int8_t>(std::min<qsizetype>(value.size(), Width));
    std::copy_n(value.data(), FLength, FChars.begin());
  }
  void AssignNull() { FLength = -1; }
  bool IsNull() const { return FLength < 0; }
  QString Text() const { return IsNull() ? QString() : QString(FChars.data(), FLength); }
  // A null field as a typed null, which ODBC binds as NULL rather than as an empty text.
  QVariant Value() const { return IsNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(Text()); }

 private:
  std::array<QChar, Width> FChars{};
  std::int8_t FLength = 0;
};

// A date and time as the clock showed them, in a zone that neither skips nor repeats an hour, for
// binding to a column without time zone and for keys: as a local time, an hour the clock skips is
// invalid (and binds as NULL), and one it repeats is ambiguous.
inline QDateTime AsWritten(QDate date, QTime time) {
  return QDateTime(date, time, Qt::UTC);
}

// A local date and time without zone, to the millisecond; null when the server held none.
class TLocalStamp {
 public:
  TLocalStamp() = default;
  TLocalStamp(QDate date, QTime time)
      : FMilliseconds(date.toJulianDay() * MillisecondsPerDay + time.msecsSinceStartOfDay()) {}

  bool IsNull() const { return FMilliseconds == Null; }
  QDateTime DateTime() const { return IsNull() ? QDateTime() : QDateTime(Date(), Time()); }
  // The same date and time as written (calls::AsWritten).
  QDateTime AsWritten() const { return IsNull() ? QDateTime() : calls::AsWritten(Date(), Time()); }

 private:
  QDate Date() const { return QDate::fromJulianDay(FMilliseconds / MillisecondsPerDay); }
  QTime Time() const {
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(FMilliseconds % MillisecondsPerDay));
  }

  static constexpr qint64 MillisecondsPerDay = 86400000;
  static constexpr qint64 Null = std::numeric_limits<qint64>::min();
  qint64 FMilliseconds = Null;
};

struct TCallRow {
  TLocalStamp DATA;
  TFixedText<RamaWidth> RAMA;
  TFixedText<NumeDiscWidth> NUME_DISC;
  TFixedText<DuraWidth> DURA;
  TFixedText<SenhWidth> SENH;
  TFixedText<TronWidth> TRON;
  TFixedText<TipoWidth> TIPO;
  qint64 JournalId = 0;  // 0 for a call read from the server
  bool Waiting = false;  // in the journal, not yet in the host database
};

// The row for a decoded call; TIPO is never set by the logger and stays null.
TCallRow CallRowFrom(const TCallRecord& call);

}  // namespace calls
