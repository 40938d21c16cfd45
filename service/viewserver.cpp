#include "viewserver.h"

#include <QJsonObject>
#include <QLocalSocket>

#include "logger.h"
#include "mayoperate.h"
#include "statehistory.h"
#include "viewrecords.h"

namespace service {

namespace {

QByteArray ErrorLine(const QString& text) {
  return RecordLine(kind::Error, {{QStringLiteral("texto"), text}});
}

}  // namespace

TViewServer::TViewServer(TLogger& logger, TStateHistory& history, QObject* parent)
    : QObject(parent), FLogger(logger), FHistory(history) {
  // Every local user may watch; acting is checked per request.
  FServer.setSocketOptions(QLocalServer::WorldAccessOption);
  connect(&FServer, &QLocalServer::newConnection, this, &TViewServer::Accept);
  BindModels();
}

TViewServer::~TViewServer() {
  for (const auto& [view, state] : FViews) view->disconnect(this);
}

bool TViewServer::Listen(const QString& name) {
  // A socket file left by a service that was killed answers nobody: it is removed. One that answers
  // belongs to a running service.
  QLocalSocket probe;
  probe.connectToServer(name);
  if (probe.waitForConnected(500)) {
    FError = QStringLiteral("outro serviço já atende em %1").arg(name);
    return false;
  }
  QLocalServer::removeServer(name);
  if (FServer.listen(name)) return true;
  FError = QStringLiteral("%1: %2").arg(name, FServer.errorString());
  return false;
}

void TViewServer::BindModels() {
  connect(&FLogger, &TLogger::Changed, this, [this] {
    QByteArray state = StateLine(FLogger);
    if (state != FState) Broadcast(FState = std::move(state));
  });
  connect(&FLogger, &TLogger::Failed, this, [this](const QString& text) {
    if (FAsking != nullptr) Send(*FAsking, ErrorLine(text));
  });
  const calls::TCallListModel& list = FLogger.List();
  connect(&list, &QAbstractItemModel::rowsInserted, this,
          [this, &list](const QModelIndex&, int first, int last) {
            Broadcast(CallsLine(list, first, last, false));
          });
  connect(&list, &QAbstractItemModel::modelReset, this,
          [this, &list] { Broadcast(CallsLine(list, 0, list.rowCount() - 1, true)); });
  connect(&list, &QAbstractItemModel::dataChanged, this,
          [this, &list](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
            std::vector<qint64> delivered;
            for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
              if (list.Row(row).JournalId > 0 && !list.Row(row).Waiting)
                delivered.push_back(list.Row(row).JournalId);
            }
            if (!delivered.empty()) Broadcast(DeliveredLine(delivered));
          });
  // A view's own list of log lines drops its oldest as this one does: only appends and a new day travel.
  const TLogLines& log = FLogger.Log();
  connect(
      &log, &QAbstractItemModel::rowsInserted, this,
      [this, &log](const QModelIndex&, int first, int last) { Broadcast(LogLine(log, first, last, false)); });
  connect(&log, &QAbstractItemModel::modelReset, this,
          [this, &log] { Broadcast(LogLine(log, 0, -1, true)); });
}

void TViewServer::Accept() {
  while (QLocalSocket* view = FServer.nextPendingConnection()) {
    connect(view, &QLocalSocket::readyRead, this, [this, view] { Read(*view); });
    connect(view, &QLocalSocket::disconnected, this, [this, view] {
      FViews.erase(view);
      view->deleteLater();
    });
    const QByteArray arrival = HelloLine() + (FState = StateLine(FLogger)) +
                               CallsLine(FLogger.List(), 0, FLogger.List().rowCount() - 1, true) +
                               LogLine(FLogger.Log(), 0, FLogger.Log().rowCount() - 1, true);
    FViews[view].Allowance = arrival.size() + MaxBacklog;
    Send(*view, arrival);
  }
}

void TViewServer::Read(QLocalSocket& view) {
  while (FViews.contains(&view) && view.canReadLine()) {
    const QJsonObject record = ParseRecord(view.readLine(MaxRequestBytes + 1));
    const QString kind = Kind(record);
    TView& state = FViews[&view];
    if (!state.Greeted) {
      if (kind != kind::Hello) return Drop(view, QStringLiteral("mensagem ilegível"));
      state.Greeted = true;
      const int version = record[QStringLiteral("versao")].toInt();
      if (version != ViewVersion) {
        Send(view,
             ErrorLine(QStringLiteral("O serviço de captura entende a versão %1 das mensagens; esta janela "
                                      "fala a versão %2. Instale a mesma versão do programa nos dois.")
                           .arg(ViewVersion)
                           .arg(version)));
        view.disconnectFromServer();
        return;
      }
    } else if (kind == kind::Connect || kind == kind::Disconnect) {
      Serve(view, kind);
    } else {
      return Drop(view, QStringLiteral("mensagem ilegível"));
    }
  }
  if (FViews.contains(&view) && view.bytesAvailable() > MaxRequestBytes)
    Drop(view, QStringLiteral("mensagem longa demais"));
}

void TViewServer::Serve(QLocalSocket& view, const QString& kind) {
  const QString what = kind == kind::Connect ? QStringLiteral("Conectar") : QStringLiteral("Desconectar");
  if (!MayOperate(view)) {
    FHistory.Note(QStringLiteral("%1 pedido por uma janela recusado: usuário fora do grupo %2")
                      .arg(what, QLatin1String(OperatorsGroup)));
    Send(view,
         ErrorLine(QStringLiteral("Somente o administrador (root) e os membros do grupo %1 podem conectar "
                                  "ou desconectar a linha do serviço de captura.")
                       .arg(QLatin1String(OperatorsGroup))));
    return;
  }
  FHistory.Note(QStringLiteral("%1 pedido por uma janela").arg(what));
  FAsking = &view;
  if (kind == kind::Connect) {
    FLogger.Connect();
  } else {
    FLogger.Disconnect();
  }
  FAsking = nullptr;
}

void TViewServer::Send(QLocalSocket& view, const QByteArray& line) {
  const auto known = FViews.find(&view);
  if (known == FViews.end()) return;
  view.write(line);
  if (view.bytesToWrite() > known->second.Allowance) Drop(view, QStringLiteral("não lê o que recebe"));
}

void TViewServer::Broadcast(const QByteArray& line) {
  // Dropping a view changes the map.
  std::vector<QLocalSocket*> views;
  for (const auto& [view, state] : FViews) views.push_back(view);
  for (QLocalSocket* view : views) Send(*view, line);
}

void TViewServer::Drop(QLocalSocket& view, const QString& why) {
  FHistory.Note(QStringLiteral("janela desligada do serviço: %1").arg(why));
  FViews.erase(&view);
  view.abort();
  view.deleteLater();
}

}  // namespace service
