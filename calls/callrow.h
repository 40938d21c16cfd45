// One row of the call list as held in memory: fixed-width text in place, so a day of 100,000 calls
// costs one allocation per row at most and stays within a few tens of megabytes.
#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <algorithm>
#include <array>
#include <cstdint>

#include "callrecord.h"

namespace calls {

// A text field of at most Width characters; longer values are cut when assigned.
template <int Width>
class TFixedText {
 public:
  TFixedText() = default;
  explicit TFixedText(const QString& value) { Assign(value); }

  void Assign(const QString& value) {
    FLength = static_cast<std::int8_t>(std::min<qsizetype>(value.size(), Width));
    std::copy_n(value.constData(), FLength, FChars.begin());
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

struct TCallRow {
  QDateTime DATA;
  TFixedText<RamaWidth> RAMA;
  TFixedText<NumeDiscWidth> NUME_DISC;
  TFixedText<DuraWidth> DURA;
  TFixedText<SenhWidth> SENH;
  TFixedText<TronWidth> TRON;
  TFixedText<TipoWidth> TIPO;
};

// The row for a decoded call; TIPO is never set by the logger and stays null.
TCallRow CallRowFrom(const TCallRecord& call);

}  // namespace calls
