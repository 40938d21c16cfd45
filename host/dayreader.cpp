#include "dayreader.h"

#include <sqlext.h>

#include <array>
#include <memory>

#include "calllistmodel.h"
#include "odbcdiag.h"

namespace calls {

namespace {

constexpr SQLULEN BlockRows = 512;

template <int Width>
struct TTextCell {
  SQLWCHAR Chars[Width + 1];  // a longer value is cut by the driver: the field's width is all we keep
  SQLLEN Indicator;
};

struct TBlockRow {
  SQL_TIMESTAMP_STRUCT DATA;
  SQLLEN DATAIndicator;
  TTextCell<RamaWidth> RAMA;
  TTextCell<NumeDiscWidth> NUME_DISC;
  TTextCell<DuraWidth> DURA;
  TTextCell<TronWidth> TRON;
  TTextCell<SenhWidth> SENH;
  TTextCell<TipoWidth> TIPO;
};

constexpr std::array<const char*, ccCount> ColumnNames = {"DATA", "RAMA", "NUME_DISC", "DURA",
                                                          "TRON", "SENH", "TIPO"};

struct TStatementHandle {
  SQLHSTMT Handle = nullptr;
  ~TStatementHandle() {
    if (Handle != nullptr) SQLFreeHandle(SQL_HANDLE_STMT, Handle);
  }
};

// Fixed-width columns come back padded with blanks from some servers (PostgreSQL) and not from others.
template <int Width>
void Take(const TTextCell<Width>& cell, TFixedText<Width>& field) {
  if (cell.Indicator == SQL_NULL_DATA) {
    field.AssignNull();
    return;
  }
  qsizetype length = Width;
  if (cell.Indicator != SQL_NO_TOTAL) {
    length = std::min<qsizetype>(Width, cell.Indicator / static_cast<SQLLEN>(sizeof(SQLWCHAR)));
  }
  while (length > 0 && cell.Chars[length - 1] == u' ') --length;
  field.Assign(QStringView(reinterpret_cast<const char16_t*>(cell.Chars), length));
}

TCallRow RowFrom(const TBlockRow& block) {
  TCallRow row;
  if (block.DATAIndicator != SQL_NULL_DATA) {
    const SQL_TIMESTAMP_STRUCT& t = block.DATA;
    row.DATA = TLocalStamp(QDate(t.year, t.month, t.day),
                           QTime(t.hour, t.minute, t.second, static_cast<int>(t.fraction / 1000000)));
  }
  Take(block.RAMA, row.RAMA);
  Take(block.NUME_DISC, row.NUME_DISC);
  Take(block.DURA, row.DURA);
  Take(block.TRON, row.TRON);
  Take(block.SENH, row.SENH);
  Take(block.TIPO, row.TIPO);
  return row;
}

// The result's column number (from 1) of each of the list's columns, 0 when missing.
std::array<SQLUSMALLINT, ccCount> ColumnNumbers(SQLHSTMT statement) {
  std::array<SQLUSMALLINT, ccCount> numbers{};
  SQLSMALLINT count = 0;
  SQLNumResultCols(statement, &count);
  for (SQLUSMALLINT column = 1; column <= count; ++column) {
    SQLWCHAR name[128] = {};
    SQLSMALLINT length = 0;
    SQLColAttributeW(statement, column, SQL_DESC_NAME, name, sizeof name, &length, nullptr);
    const QString found = FromSqlWide(name);
    for (int i = 0; i < ccCount; ++i) {
      if (found.compare(QLatin1String(ColumnNames[i]), Qt::CaseInsensitive) == 0) numbers[i] = column;
    }
  }
  return numbers;
}

template <int Width>
SQLRETURN BindText(SQLHSTMT statement, SQLUSMALLINT column, TTextCell<Width>& cell) {
  return SQLBindCol(statement, column, SQL_C_WCHAR, cell.Chars, sizeof cell.Chars, &cell.Indicator);
}

bool BindColumns(SQLHSTMT statement, TBlockRow& first, QString& missing) {
  const std::array<SQLUSMALLINT, ccCount> at = ColumnNumbers(statement);
  for (int i = 0; i < ccCount; ++i) {
    if (at[i] == 0) {
      missing = QStringLiteral("TBCALL has no column %1").arg(ColumnNames[i]);
      return false;
    }
  }
  const SQLRETURN results[] = {
      SQLBindCol(statement, at[ccDATA], SQL_C_TYPE_TIMESTAMP, &first.DATA, sizeof first.DATA,
                 &first.DATAIndicator),
      BindText(statement, at[ccRAMA], first.RAMA),
      BindText(statement, at[ccNUME_DISC], first.NUME_DISC),
      BindText(statement, at[ccDURA], first.DURA),
      BindText(statement, at[ccTRON], first.TRON),
      BindText(statement, at[ccSENH], first.SENH),
      BindText(statement, at[ccTIPO], first.TIPO),
  };
  return std::all_of(std::begin(results), std::end(results), [](SQLRETURN r) { return SQL_SUCCEEDED(r); });
}

}  // namespace

bool ReadDayRows(SQLHDBC dbc, const QString& statement, const QDate& day, int limitSeconds, TRowBlocks& rows,
                 TReadFailure& failure) {
  TStatementHandle stmt;
  if (dbc == nullptr || !SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt.Handle))) {
    failure = {DiagText(SQL_HANDLE_DBC, dbc), ConnectionLost(dbc, SQL_HANDLE_DBC, dbc)};
    return false;
  }
  const auto fail = [&](const QString& text) {
    failure = {text.isEmpty() ? DiagText(SQL_HANDLE_STMT, stmt.Handle) : text,
               ConnectionLost(dbc, SQL_HANDLE_STMT, stmt.Handle)};
    return false;
  };

  const auto block = std::make_unique<TBlockRow[]>(BlockRows);
  SQLULEN fetched = 0;
  SQLSetStmtAttr(stmt.Handle, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(sizeof(TBlockRow)), 0);
  SQLSetStmtAttr(stmt.Handle, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(BlockRows), 0);
  SQLSetStmtAttr(stmt.Handle, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
  LimitTime(stmt.Handle, limitSeconds);

  // Bound as Qt binds a date-time, so SQLite (which compares dates as text) sees the same format.
  SQL_TIMESTAMP_STRUCT parameter{static_cast<SQLSMALLINT>(day.year()),
                                 static_cast<SQLUSMALLINT>(day.month()),
                                 static_cast<SQLUSMALLINT>(day.day()),
                                 0,
                                 0,
                                 0,
                                 0};
  SQLLEN parameterLength = 0;
  if (!SQL_SUCCEEDED(SQLBindParameter(stmt.Handle, 1, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP,
                                      SQL_TYPE_TIMESTAMP, 23, 3, &parameter, 0, &parameterLength))) {
    return fail({});
  }
  // ODBC itself knows only positional markers.
  std::u16string sql =
      QString(statement).replace(QLatin1String(":DATA"), QLatin1String("?")).toStdU16String();
  if (!SQL_SUCCEEDED(SQLExecDirectW(stmt.Handle, reinterpret_cast<SQLWCHAR*>(sql.data()), SQL_NTS))) {
    return fail({});
  }
  QString missing;
  if (!BindColumns(stmt.Handle, block[0], missing)) return fail(missing);

  for (;;) {
    const SQLRETURN r = SQLFetch(stmt.Handle);
    if (r == SQL_NO_DATA) return true;
    if (!SQL_SUCCEEDED(r)) return fail({});
    for (SQLULEN i = 0; i < fetched; ++i) rows.push_back(RowFrom(block[i]));
  }
}

}  // namespace calls
