#include "windowstate.h"

namespace service {

QString TWindowState::Caption() const {
  switch (FState) {
    case TState::wsConnected:
      return QStringLiteral("Log de Chamadas - CONECTADO");
    case TState::wsDisconnected:
      return QStringLiteral("Log de Chamadas - DESCONECTADO");
    case TState::wsStarted:
      break;
  }
  // Lower-case "chamadas" until the first connect or disconnect, as the window was first shown.
  return QStringLiteral("Log de chamadas");
}

}  // namespace service
