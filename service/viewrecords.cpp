#include "viewrecords.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <array>

#include "calllistmodel.h"
#include "logger.h"
#include "loglines.h"

namespace service {

namespace {

using TState = TWindowState::TState;

const std::array<std::pair<TState, QLatin1StringView>, 3> StateNames{{
    {TState::wsStarted, QLatin1StringView("iniciado")},
    {TState::wsConnected, QLatin1StringView("conectado")},
    {TState::wsDisconnected, QLatin1StringView("desconectado")},
}};

QJsonObject ViewObject(const TStatusView& view) {
  return {{QStringLiteral("texto"), view.Text},
          {QStringLiteral("cor"), view.Colour.isValid() ? view.Colour.name() : QString()},
          {QStringLiteral("dica"), view.ToolTip}};
}

TStatusView ReadView(const QJsonObject& object) {
  const QString colour = object[QStringLiteral("cor")].toString();
  return {object[QStringLiteral("texto")].toString(), colour.isEmpty() ? QColor() : QColor(colour),
          object[QStringLiteral("dica")].toString()};
}

// DATA as written by the exchange, no zone; the shown columns; the journal id (0: read from the
// server); whether it still waits for the host database.
QJsonArray RowArray(const calls::TCallRow& row) {
  const QDateTime when = row.DATA.DateTime();
  return {when.isValid() ? QJsonValue(when.toString(Qt::ISODateWithMs)) : QJsonValue(),
          row.RAMA.Text(),
          row.NUME_DISC.Text(),
          row.DURA.Text(),
          row.TRON.Text(),
          row.JournalId,
          row.Waiting};
}

calls::TCallRow ReadRow(const QJsonArray& array) {
  calls::TCallRow row;
  const QDateTime when = QDateTime::fromString(array[0].toString(), Qt::ISODateWithMs);
  if (when.isValid()) row.DATA = calls::TLocalStamp(when.date(), when.time());
  row.RAMA.Assign(array[1].toString());
  row.NUME_DISC.Assign(array[2].toString());
  row.DURA.Assign(array[3].toString());
  row.TRON.Assign(array[4].toString());
  row.SENH.AssignNull();
  row.TIPO.AssignNull();
  row.JournalId = array[5].toInteger();
  row.Waiting = array[6].toBool();
  return row;
}

}  // namespace

QByteArray RecordLine(const QString& kind, QJsonObject fields) {
  fields.insert(QStringLiteral("tipo"), kind);
  return QJsonDocument(fields).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray HelloLine() {
  return RecordLine(kind::Hello, {{QStringLiteral("versao"), ViewVersion}});
}

QByteArray StateLine(const TLogger& logger) {
  const TWindowState state = logger.State();
  QString name;
  for (const auto& [value, text] : StateNames)
    if (value == state.State()) name = text;
  return RecordLine(kind::State, {{QStringLiteral("estado"), name},
                                  {QStringLiteral("legenda"), state.Caption()},
                                  {QStringLiteral("linha"), ViewObject(logger.LineView())},
                                  {QStringLiteral("banco"), ViewObject(logger.StatusView())}});
}

QByteArray CallsLine(const calls::TCallListModel& list, int first, int last, bool whole) {
  QJsonArray rows;
  for (int row = first; row <= last; ++row) rows.append(RowArray(list.Row(row)));
  return RecordLine(kind::Calls, {{QStringLiteral("inteira"), whole}, {QStringLiteral("linhas"), rows}});
}

QByteArray DeliveredLine(const std::vector<qint64>& journalIds) {
  QJsonArray ids;
  for (const qint64 id : journalIds) ids.append(id);
  return RecordLine(kind::Delivered, {{QStringLiteral("ids"), ids}});
}

QByteArray LogLine(const TLogLines& log, int first, int last, bool whole) {
  QJsonArray lines;
  for (int row = first; row <= last; ++row) lines.append(log.index(row).data().toString());
  return RecordLine(kind::Log, {{QStringLiteral("inteira"), whole}, {QStringLiteral("linhas"), lines}});
}

QJsonObject ParseRecord(const QByteArray& line) {
  const QJsonDocument document = QJsonDocument::fromJson(line);
  if (!document.isObject() || !document.object()[QStringLiteral("tipo")].isString()) return {};
  return document.object();
}

QString Kind(const QJsonObject& record) {
  return record[QStringLiteral("tipo")].toString();
}

TStateRecord ReadState(const QJsonObject& record) {
  TState state = TState::wsStarted;
  for (const auto& [value, text] : StateNames)
    if (record[QStringLiteral("estado")].toString() == text) state = value;
  return {TWindowState(state), ReadView(record[QStringLiteral("linha")].toObject()),
          ReadView(record[QStringLiteral("banco")].toObject())};
}

std::vector<calls::TCallRow> ReadCalls(const QJsonObject& record) {
  std::vector<calls::TCallRow> rows;
  for (const QJsonValue& row : record[QStringLiteral("linhas")].toArray())
    rows.push_back(ReadRow(row.toArray()));
  return rows;
}

}  // namespace service
