#include "loopback.h"

namespace testsupport {

TLoopbackServer::~TLoopbackServer() {
  ClosePeer();
  StopListening();
}

bool TLoopbackServer::IsListening() const {
  return FListener != -1;
}

std::string TLoopbackServer::Address() const {
  return "tcp://127.0.0.1:" + std::to_string(FPort);
}

}  // namespace testsupport
