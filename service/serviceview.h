// The window's side of the service: what the service's pipeline shows, kept from its records (see
// viewrecords.h), and the operator's Conectar and Desconectar sent to it. A service that goes away is
// shown in the line's row and looked for again every RetryInterval.
#pragma once

#include <QLocalSocket>
#include <QTimer>
#include <chrono>
#include <memory>

#include "logger.h"
#include "statehistory.h"

namespace service {

class TServiceView final : public TLogger {
  Q_OBJECT
 public:
  static constexpr std::chrono::seconds RetryInterval{2};

  explicit TServiceView(QString socketName, QObject* parent = nullptr);
  // The socket closing as it goes is no service lost.
  ~TServiceView() override { FSocket.disconnect(this); }

  // Waits at most limit for a service at the socket to greet: false when none answers.
  bool Reach(std::chrono::milliseconds limit);

  TWindowState State() const override { return FState; }
  TStatusView LineView() const override { return FLine; }
  TStatusView StatusView() const override { return FStatus; }
  calls::TCallListModel& List() override { return FList; }
  TLogLines& Log() override { return FLog; }
  void Connect() override;
  void Disconnect() override;
  void Note(const QString& text) override;

 private:
  void Read();
  void Apply(const QJsonObject& record);
  void Request(const QString& kind);
  void Lost(const QString& text);

  QString FName;
  QLocalSocket FSocket;
  QTimer FRetry;
  bool FGreeted = false;
  QString FRefusal;  // the service speaks another version: why nothing is shown
  TWindowState FState;
  TStatusView FLine;
  TStatusView FStatus;
  calls::TCallListModel FList;
  TLogLines FLog;
  TStateHistory FHistory;
};

}  // namespace service
