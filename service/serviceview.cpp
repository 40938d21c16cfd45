#include "serviceview.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonObject>

#include "statuscolours.h"
#include "viewrecords.h"

namespace service {

TServiceView::TServiceView(QString socketName, QObject* parent)
    : TLogger(parent), FName(std::move(socketName)) {
  FRetry.setInterval(RetryInterval);
  FRetry.setSingleShot(true);
  connect(&FRetry, &QTimer::timeout, this, [this] { FSocket.connectToServer(FName); });
  connect(&FSocket, &QLocalSocket::connected, this, [this] { FSocket.write(HelloLine()); });
  connect(&FSocket, &QLocalSocket::readyRead, this, &TServiceView::Read);
  connect(&FSocket, &QLocalSocket::disconnected, this,
          [this] { Lost(QStringLiteral("O serviço de captura deixou de responder em %1.").arg(FName)); });
  connect(&FSocket, &QLocalSocket::errorOccurred, this, [this] {
    if (FSocket.state() == QLocalSocket::UnconnectedState) Lost(FSocket.errorString());
  });
}

bool TServiceView::Reach(std::chrono::milliseconds limit) {
  // No socket there (the usual stand-alone start): known at once, and no loop runs before the window.
  FSocket.connectToServer(FName);
  if (FSocket.state() == QLocalSocket::UnconnectedState) return false;
  // The loop runs: a service in this very thread (the tests) answers too.
  QEventLoop loop;
  QTimer::singleShot(limit, &loop, &QEventLoop::quit);
  connect(this, &TLogger::Changed, &loop, &QEventLoop::quit);
  connect(&FSocket, &QLocalSocket::errorOccurred, &loop, &QEventLoop::quit);
  loop.exec();
  return FGreeted || !FRefusal.isEmpty();
}

void TServiceView::Read() {
  while (FSocket.canReadLine()) {
    const QJsonObject record = ParseRecord(FSocket.readLine());
    if (!FGreeted && FRefusal.isEmpty() && Kind(record) == kind::Hello) {
      const int version = record[QStringLiteral("versao")].toInt();
      if (version != ViewVersion) {
        FRefusal = QStringLiteral(
                       "O serviço de captura fala a versão %1 das mensagens; esta janela entende a "
                       "versão %2. Instale a mesma versão do programa nos dois.")
                       .arg(version)
                       .arg(ViewVersion);
        FLine = {QStringLiteral("Serviço de outra versão"), StatusRed, FRefusal};
        FSocket.abort();
        emit Changed();
        return;
      }
      FGreeted = true;
      FHistory.Note(QStringLiteral("janela do serviço de captura em %1").arg(FName));
      emit Changed();
    } else if (FGreeted) {
      Apply(record);
    }
  }
}

void TServiceView::Apply(const QJsonObject& record) {
  const QString kind = Kind(record);
  if (kind == kind::State) {
    const TStateRecord state = ReadState(record);
    FState = state.State;
    FLine = state.Line;
    FStatus = state.Status;
    emit Changed();
  } else if (kind == kind::Calls) {
    const bool whole = record[QStringLiteral("inteira")].toBool();
    calls::TRowBlocks rows;
    for (const calls::TCallRow& row : ReadCalls(record)) {
      if (whole) {
        rows.push_back(row);
      } else {
        FList.Append(row);
      }
    }
    if (whole) FList.Reset(std::move(rows));
  } else if (kind == kind::Delivered) {
    std::vector<qint64> ids;
    for (const QJsonValue& id : record[QStringLiteral("ids")].toArray()) ids.push_back(id.toInteger());
    FList.MarkDelivered(ids);
  } else if (kind == kind::Log) {
    if (record[QStringLiteral("inteira")].toBool()) FLog.Clear();
    for (const QJsonValue& line : record[QStringLiteral("linhas")].toArray())
      FLog.AppendLine(line.toString());
  } else if (kind == kind::Error) {
    emit Failed(record[QStringLiteral("texto")].toString());
  }
}

void TServiceView::Connect() {
  Request(kind::Connect);
}

void TServiceView::Disconnect() {
  Request(kind::Disconnect);
}

void TServiceView::Request(const QString& kind) {
  if (!FRefusal.isEmpty()) return emit Failed(FRefusal);
  if (FSocket.state() != QLocalSocket::ConnectedState)
    return emit Failed(QStringLiteral("O serviço de captura não responde em %1.").arg(FName));
  FSocket.write(RecordLine(kind));
}

void TServiceView::Note(const QString& text) {
  FHistory.Note(text);
}

void TServiceView::Lost(const QString& text) {
  if (FRetry.isActive()) return;
  if (FGreeted) FHistory.Note(QStringLiteral("serviço de captura perdido: %1").arg(text));
  FGreeted = false;
  FLine = {QStringLiteral("Sem serviço"), StatusRed,
           text + QStringLiteral("\nNova tentativa a cada %1 segundos.").arg(RetryInterval.count())};
  emit Changed();
  FRetry.start();
}

}  // namespace service
