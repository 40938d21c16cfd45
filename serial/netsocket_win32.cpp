// Sockets on Windows (Winsock 2): non-blocking through FIONBIO, select for a connect's progress (a
// failed connect shows in the exception set), ioctlsocket(FIONREAD) for the count.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>

#include "netsocket.h"
#include "netsocket_system.h"

namespace serial::net {

namespace {

// A dead peer behind a silent line is noticed after a few minutes instead of the system's two hours
// (Windows makes ten probes at the interval).
constexpr ULONG kKeepIdleMs = 60000;
constexpr ULONG kKeepIntervalMs = 10000;

constexpr TFailureCode kFailureCodes[] = {
    {WSAECONNREFUSED, TFailure::Refused}, {WSAENETUNREACH, TFailure::Unreachable},
    {WSAEHOSTUNREACH, TFailure::Unreachable}, {WSAETIMEDOUT, TFailure::NoAnswer},
    {WSAECONNRESET, TFailure::Reset}, {WSAECONNABORTED, TFailure::Reset}};

SOCKET Native(TSocket socket) {
  return static_cast<SOCKET>(socket);
}

void KeepAlive(SOCKET s) {
  const BOOL on = TRUE;
  setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
  tcp_keepalive values{1, kKeepIdleMs, kKeepIntervalMs};
  DWORD returned = 0;
  WSAIoctl(s, SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0, &returned, nullptr, nullptr);
}

}  // namespace

std::span<const TFailureCode> FailureCodes() {
  return kFailureCodes;
}

// Winsock works only after WSAStartup; once for the process, never undone.
bool SocketsReady(std::string& error) {
  static const int result = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
  }();
  if (result != 0) error = "Winsock indisponível (" + std::to_string(result) + ")";
  return result == 0;
}

TSocket StartConnect(const TAddress& address, std::string& error) {
  if (!SocketsReady(error)) return NoSocket;
  const SOCKET s = socket(address.Family, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    error = Reason(WSAGetLastError());
    return NoSocket;
  }
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  KeepAlive(s);
  const auto* target = reinterpret_cast<const sockaddr*>(address.Bytes.data());
  if (connect(s, target, address.Length) == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) {
    error = Reason(WSAGetLastError());
    closesocket(s);
    return NoSocket;
  }
  return static_cast<TSocket>(s);
}

TConnectProgress ConnectProgress(TSocket socket, std::string& error) {
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(Native(socket), &writable);
  FD_SET(Native(socket), &failed);
  timeval now{0, 0};
  if (select(0, nullptr, &writable, &failed, &now) == 0) return TConnectProgress::Pending;
  if (FD_ISSET(Native(socket), &writable)) return TConnectProgress::Connected;
  int code = 0;
  int length = sizeof code;
  if (getsockopt(Native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&code), &length) != 0)
    code = WSAGetLastError();
  error = Reason(code);
  return TConnectProgress::Failed;
}

bool BytesWaiting(TSocket socket, std::uint32_t& count, std::string& error) {
  u_long waiting = 0;
  if (ioctlsocket(Native(socket), FIONREAD, &waiting) != 0) {
    error = Reason(WSAGetLastError());
    return false;
  }
  count = static_cast<std::uint32_t>(waiting);
  return true;
}

TReceived Receive(TSocket socket, char* buffer, std::uint32_t count, bool peek, std::uint32_t& got,
                  std::string& error) {
  got = 0;
  const int n = recv(Native(socket), buffer, static_cast<int>(count), peek ? MSG_PEEK : 0);
  if (n > 0) {
    got = static_cast<std::uint32_t>(n);
    return TReceived::Bytes;
  }
  if (n == 0) return TReceived::PeerClosed;
  const int code = WSAGetLastError();
  if (code == WSAEWOULDBLOCK) return TReceived::Nothing;
  error = Reason(code);
  return TReceived::Failed;
}

void Close(TSocket socket) {
  closesocket(Native(socket));
}

}  // namespace serial::net
