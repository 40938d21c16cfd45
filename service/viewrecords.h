// The records between the service and its views: one JSON object a line, each with its kind in
// "tipo". The service sends "ola" (with "versao") first, then "estado", the day's "chamadas" and the
// log's "log" whole, then each change as it happens: "estado", "chamadas" (rows appended), "entregues"
// (journal ids), "log" (lines appended), "erro" (a request refused or failed, for the operator). A
// view sends "ola" and then "conectar" or "desconectar". The caller's personal code (SENH) is never
// sent: the grid hides it.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <vector>

#include "statusline.h"
#include "windowstate.h"

namespace calls {
class TCallListModel;
struct TCallRow;
}  // namespace calls

namespace service {

class TLogger;
class TLogLines;

inline constexpr int ViewVersion = 1;
// A view's line longer than this is garbage.
inline constexpr qsizetype MaxRequestBytes = 4096;

// Kinds of record.
namespace kind {
inline const QString Hello = QStringLiteral("ola");
inline const QString State = QStringLiteral("estado");
inline const QString Calls = QStringLiteral("chamadas");
inline const QString Delivered = QStringLiteral("entregues");
inline const QString Log = QStringLiteral("log");
inline const QString Error = QStringLiteral("erro");
inline const QString Connect = QStringLiteral("conectar");
inline const QString Disconnect = QStringLiteral("desconectar");
}  // namespace kind

// One record as its line, newline included.
QByteArray RecordLine(const QString& kind, QJsonObject fields = {});
QByteArray HelloLine();
QByteArray StateLine(const TLogger& logger);
// Rows first..last of the list; whole: the list replaces the view's.
QByteArray CallsLine(const calls::TCallListModel& list, int first, int last, bool whole);
QByteArray DeliveredLine(const std::vector<qint64>& journalIds);
QByteArray LogLine(const TLogLines& log, int first, int last, bool whole);

// A line read back: null when it is not a JSON object with a kind.
QJsonObject ParseRecord(const QByteArray& line);
QString Kind(const QJsonObject& record);

// What an "estado" record says.
struct TStateRecord {
  TWindowState State;
  TStatusView Line;
  TStatusView Status;
};
TStateRecord ReadState(const QJsonObject& record);
std::vector<calls::TCallRow> ReadCalls(const QJsonObject& record);

}  // namespace service
