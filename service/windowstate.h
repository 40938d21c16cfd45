// What the operator sees of the connection: the caption, which of the connect and disconnect
// buttons can be pressed, and whether the receive timer runs. Kept apart from the widgets so the
// state table is checked without a screen.
#pragma once

#include <QString>

namespace service {

class TWindowState {
 public:
  enum class TState { wsStarted, wsConnected, wsDisconnected };

  explicit TWindowState(TState state = TState::wsStarted) : FState(state) {}
  TState State() const { return FState; }

  QString Caption() const;
  bool ConnectEnabled() const { return FState != TState::wsConnected; }
  bool DisconnectEnabled() const { return FState != TState::wsDisconnected; }
  bool TimerOn() const { return FState == TState::wsConnected; }

  // Called only after the port really opened or closed; a failure leaves the state as it was.
  void PortOpened() { FState = TState::wsConnected; }
  void PortClosed() { FState = TState::wsDisconnected; }

 private:
  TState FState;
};

}  // namespace service
