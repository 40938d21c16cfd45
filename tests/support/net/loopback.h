// A TCP server on 127.0.0.1 for tests of lines that arrive over TCP: it plays the serial device server
// or the exchange that serves its call lines. One peer at a time. Built on each system's sockets
// (loopback_posix.cpp, loopback_win32.cpp), so the same test bodies run on Linux and under Wine.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace testsupport {

class TLoopbackServer {
 public:
  // Listens on port (0: any free one) with the given backlog; IsListening tells whether it could.
  explicit TLoopbackServer(std::uint16_t port = 0, int backlog = 4);
  ~TLoopbackServer();
  TLoopbackServer(const TLoopbackServer&) = delete;
  TLoopbackServer& operator=(const TLoopbackServer&) = delete;

  bool IsListening() const;
  std::uint16_t Port() const { return FPort; }
  // "tcp://127.0.0.1:PORT"
  std::string Address() const;

  // Takes the next connection as the peer, waiting for it up to the limit.
  bool Accept(std::chrono::milliseconds limit = std::chrono::seconds(5));
  // Sends every byte to the peer.
  bool Send(const std::string& bytes);
  // The peer's connection ends in order (the reader sees the end of the stream).
  void ClosePeer();
  // No longer listens (nor holds the backlog filled): a connect to the port is refused until a new
  // server listens on it.
  void StopListening();

  // Fills the queue of connections not yet accepted, so that a further connect gets no answer (the
  // system drops its handshake): true once one connection sits in the queue. For a backlog of 0.
  bool FillBacklog();

 private:
  std::intptr_t FListener;
  std::intptr_t FPeer;
  std::intptr_t FFiller;
  std::uint16_t FPort = 0;
};

}  // namespace testsupport
