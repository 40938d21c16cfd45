// The far end under Wine. run-test maps COM1 to a fixed path and listens on the 127.0.0.1 port named
// in LOGCHAMADAS_FAR_END; each connection gets a fresh pseudo-terminal pair whose slave appears at that
// path (far-end-session), and the connection is relayed to its master. So a far end is one TCP
// connection: what it sends reaches COM1, and shutting it down closes the master.
#include <winsock2.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "farend.h"

namespace testsupport {

namespace {

constexpr const char* kFarEndVariable = "LOGCHAMADAS_FAR_END";
// Bounds the waits on the Linux side (a pseudo-terminal appearing, a session ending); both take
// milliseconds when things work.
constexpr DWORD kPatienceMs = 20000;

std::string SocketError(const std::string& what) {
  return what + " (WSA error " + std::to_string(WSAGetLastError()) + ")";
}

bool StartWinsock(std::string& error) {
  static const int result = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
  }();
  if (result != 0) error = "WSAStartup failed with " + std::to_string(result);
  return result == 0;
}

class TWineFarEnd final : public TFarEnd {
 public:
  explicit TWineFarEnd(SOCKET connection) : FSocket(connection) {}
  ~TWineFarEnd() override { Vanish(); }
  TWineFarEnd(const TWineFarEnd&) = delete;
  TWineFarEnd& operator=(const TWineFarEnd&) = delete;

  bool Write(const std::string& bytes) override {
    std::size_t sent = 0;
    while (FSocket != INVALID_SOCKET && sent < bytes.size()) {
      const int n = send(FSocket, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
      if (n == SOCKET_ERROR) return false;
      sent += static_cast<std::size_t>(n);
    }
    return sent == bytes.size();
  }

  // Returns once the session has ended, which it does only after closing the pseudo-terminal's
  // master: from then on COM1 has no far end.
  void Vanish() override {
    if (FSocket == INVALID_SOCKET) return;
    shutdown(FSocket, SD_SEND);
    char discard[256];
    while (recv(FSocket, discard, sizeof discard, 0) > 0) {
    }
    closesocket(FSocket);
    FSocket = INVALID_SOCKET;
  }

 private:
  SOCKET FSocket;
};

// A second handle on COM1 (Wine shares the device); ClearCommError counts its input queue unread.
class TWineNearEndWatch final : public TNearEndWatch {
 public:
  explicit TWineNearEndWatch(HANDLE port) : FPort(port) {}
  ~TWineNearEndWatch() override { CloseHandle(FPort); }
  TWineNearEndWatch(const TWineNearEndWatch&) = delete;
  TWineNearEndWatch& operator=(const TWineNearEndWatch&) = delete;

  int Waiting() override {
    DWORD errors = 0;
    COMSTAT status{};
    return ClearCommError(FPort, &errors, &status) ? static_cast<int>(status.cbInQue) : -1;
  }

 private:
  HANDLE FPort;
};

}  // namespace

std::unique_ptr<TNearEndWatch> WatchNearEnd(std::string& error) {
  const HANDLE port = CreateFileA("\\\\.\\COM1", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (port == INVALID_HANDLE_VALUE) {
    error = "cannot open COM1 (Windows error " + std::to_string(GetLastError()) + ")";
    return nullptr;
  }
  return std::make_unique<TWineNearEndWatch>(port);
}

TLineLimits LineLimits() {
  return {.refusesSecondOpen = false, .keepsRatesWithoutAConstant = false};
}

// COM1 always leads to the path where run-test's sessions make their pseudo-terminals.
void AwaitFarEnd() {}

std::unique_ptr<TFarEnd> MakeFarEnd(std::string& error) {
  // The listener is always on 127.0.0.1; the variable names it as "127.0.0.1:<port>".
  const char* where = std::getenv(kFarEndVariable);
  const char* colon = where == nullptr ? nullptr : std::strrchr(where, ':');
  const unsigned long port = colon == nullptr ? 0 : std::strtoul(colon + 1, nullptr, 10);
  if (port == 0 || port > 65535) {
    error =
        std::string(kFarEndVariable) + " does not name the far-end listener (run the test through run-test)";
    return nullptr;
  }
  if (!StartWinsock(error)) return nullptr;
  const SOCKET connection = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (connection == INVALID_SOCKET) {
    error = SocketError("socket failed");
    return nullptr;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<u_short>(port));
  auto farEnd = std::make_unique<TWineFarEnd>(connection);
  const DWORD patience = kPatienceMs;
  setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&patience), sizeof patience);
  if (connect(connection, reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR) {
    error = SocketError(std::string("cannot reach the far-end listener at ") + where);
    return nullptr;
  }
  char ready = 0;
  if (recv(connection, &ready, 1, 0) != 1 || ready != 'R') {
    error = SocketError("the far-end session did not report its pseudo-terminal ready");
    return nullptr;
  }
  return farEnd;
}

}  // namespace testsupport
