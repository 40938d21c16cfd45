#include "loopback.h"

#include <thread>
#include <vector>

#include "loopback_system.h"
#include "netsocket.h"

namespace testsupport {

using loopback::NoSocket;

namespace {

void CloseAndForget(std::intptr_t& socket) {
  if (socket != NoSocket) loopback::CloseSocket(socket);
  socket = NoSocket;
}

}  // namespace

TLoopbackServer::TLoopbackServer(std::uint16_t port, int backlog)
    : FListener(loopback::Listen(port, backlog)), FPeer(NoSocket), FFiller(NoSocket), FPort(port) {}

TLoopbackServer::~TLoopbackServer() {
  ClosePeer();
  StopListening();
}

bool TLoopbackServer::IsListening() const {
  return FListener != NoSocket;
}

std::string TLoopbackServer::Address() const {
  return "tcp://127.0.0.1:" + std::to_string(FPort);
}

bool TLoopbackServer::Accept(std::chrono::milliseconds limit) {
  if (FListener == NoSocket) return false;
  const std::intptr_t peer = loopback::AcceptOne(FListener, limit);
  if (peer == NoSocket) return false;
  ClosePeer();
  FPeer = peer;
  return true;
}

bool TLoopbackServer::Send(const std::string& bytes) {
  std::size_t sent = 0;
  while (FPeer != NoSocket && sent < bytes.size()) {
    const long n = loopback::SendSome(FPeer, bytes.data() + sent, bytes.size() - sent);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return FPeer != NoSocket;
}

void TLoopbackServer::ClosePeer() {
  CloseAndForget(FPeer);
}

void TLoopbackServer::StopListening() {
  CloseAndForget(FListener);
  if (FFiller != NoSocket) serial::net::Close(FFiller);
  FFiller = NoSocket;
}

// The filler is a client like the line under test, so the TCP layer's own socket calls make it.
bool TLoopbackServer::FillBacklog() {
  std::vector<serial::net::TAddress> addresses;
  std::string error;
  if (!serial::net::Resolve("127.0.0.1", std::to_string(FPort), true, addresses, error)) return false;
  FFiller = serial::net::StartConnect(addresses.front(), error);
  for (int round = 0; FFiller != NoSocket && round < 500; ++round) {
    const serial::net::TConnectProgress progress = serial::net::ConnectProgress(FFiller, error);
    if (progress != serial::net::TConnectProgress::Pending) return progress == serial::net::TConnectProgress::Connected;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace testsupport
