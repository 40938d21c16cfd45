// The few socket operations the TCP line is built on. One implementation per system
// (netsocket_posix.cpp, netsocket_win32.cpp), chosen by the build, beside what both share
// (netsocket.cpp); comm_tcp.cpp holds the logic.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace serial::net {

using TSocket = std::intptr_t;
inline constexpr TSocket NoSocket = -1;

// One resolved address, as the system's sockaddr (sockaddr_storage is 128 bytes on both systems).
struct TAddress {
  std::array<std::byte, 128> Bytes{};
  int Length = 0;
  int Family = 0;
};

// The TCP addresses of host and port, in the order the system prefers them. With numericOnly the
// host must be an address literal, and the call never waits on a name server; otherwise it may take
// seconds. False with a Portuguese reason when there is none.
bool Resolve(const std::string& host, const std::string& port, bool numericOnly, std::vector<TAddress>& addresses,
             std::string& error);

// A non-blocking TCP socket with keepalive on, connecting to the address; NoSocket with the reason when
// the connect failed at once.
TSocket StartConnect(const TAddress& address, std::string& error);

enum class TConnectProgress { Pending, Connected, Failed };
// Where a started connect stands, without waiting; the reason when it failed.
TConnectProgress ConnectProgress(TSocket socket, std::string& error);

// How many bytes wait to be received; false with the reason when the socket has failed.
bool BytesWaiting(TSocket socket, std::uint32_t& count, std::string& error);

enum class TReceived { Bytes, Nothing, PeerClosed, Failed };
// Receives what waits, up to count bytes, without waiting; with peek the bytes stay queued.
TReceived Receive(TSocket socket, char* buffer, std::uint32_t count, bool peek, std::uint32_t& got,
                  std::string& error);

void Close(TSocket socket);

}  // namespace serial::net
