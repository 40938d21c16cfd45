// The service's side of its views: a local socket (QLocalServer) where each view gets the records of
// viewrecords.h. A view's queue is bounded: one that does not read is dropped, so the service never
// waits for a view; one that sends garbage is dropped too. Connect and disconnect are served only to
// the operators (MayOperate).
#pragma once

#include <QLocalServer>
#include <QObject>
#include <map>

class QLocalSocket;

namespace service {

class TLogger;
class TStateHistory;

class TViewServer : public QObject {
  Q_OBJECT
 public:
  // What a view may have waiting beyond what it was sent on arrival.
  static constexpr qint64 MaxBacklog = 4 << 20;

  TViewServer(TLogger& logger, TStateHistory& history, QObject* parent = nullptr);
  // The server deletes the views' sockets as it goes: they must not reach this half-destroyed.
  ~TViewServer() override;

  // False when another service answers at name already, or the name cannot be used; Error() says why.
  bool Listen(const QString& name);
  QString Error() const { return FError; }

 private:
  void Accept();
  void Read(QLocalSocket& view);
  void Serve(QLocalSocket& view, const QString& kind);
  void Send(QLocalSocket& view, const QByteArray& line);
  void Broadcast(const QByteArray& line);
  void Drop(QLocalSocket& view, const QString& why);
  void BindModels();

  struct TView {
    qint64 Allowance = 0;  // bytes it may have waiting
    bool Greeted = false;  // its "ola" came
  };

  TLogger& FLogger;
  TStateHistory& FHistory;
  QLocalServer FServer;
  QString FError;
  QByteArray FState;  // the last "estado" sent
  std::map<QLocalSocket*, TView> FViews;
  QLocalSocket* FAsking = nullptr;  // the view whose request is being served
};

}  // namespace service
