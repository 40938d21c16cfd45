// What each system's file gives the loopback server (loopback.cpp): its few socket calls.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace testsupport::loopback {

inline constexpr std::intptr_t NoSocket = -1;

// A socket listening on 127.0.0.1:port (0: any free port, then set to the one taken); NoSocket when
// it cannot listen.
std::intptr_t Listen(std::uint16_t& port, int backlog);
// The next connection, waiting for it up to the limit; NoSocket when none came.
std::intptr_t AcceptOne(std::intptr_t listener, std::chrono::milliseconds limit);
// Sends some of the bytes; how many, or 0 or less when the connection failed.
long SendSome(std::intptr_t socket, const char* bytes, std::size_t size);
void CloseSocket(std::intptr_t socket);

}  // namespace testsupport::loopback
