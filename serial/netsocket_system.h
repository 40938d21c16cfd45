// What each system's socket file gives the shared one (netsocket.cpp), beyond netsocket.h.
#pragma once

#include <span>
#include <string>

namespace serial::net {

// The failures the operator is told apart; any other is told by its number.
enum class TFailure { Refused, Unreachable, NoAnswer, Reset, Other };
struct TFailureCode {
  int Code;
  TFailure Failure;
};
// The system's error numbers for the failures above.
std::span<const TFailureCode> FailureCodes();

// Whether the system's sockets can be used (Windows: Winsock started); the reason when not.
bool SocketsReady(std::string& error);

// The operator's words for a system error number.
std::string Reason(int code);

}  // namespace serial::net
