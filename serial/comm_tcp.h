// The comm layer for lines that arrive over TCP: "tcp://HOST:PORT", this program connecting as a client.
//
// Open never waits: a well-formed address gives a handle at once (a malformed one gives none) and the
// connect goes on behind it (the name is looked up on a thread of its own unless it is an address
// literal; every address it has is tried in turn). While it goes on, ClearError reports 0 bytes
// waiting. A connect that has not completed within the time-out has failed. From a failure on (name
// unknown, refused, time-out, the peer closed the connection or reset it) ClearError and Read report
// failure until the handle is closed, and LastErrorText says why, in the operator's words; bytes that
// arrived before an orderly close are still counted and read first. A short read is no failure.
// Keepalive is on. Line settings are accepted and read back but change nothing: a TCP line has no
// speed. Purging the input discards what is waiting.
#pragma once

#include <chrono>
#include <memory>

#include "comm.h"

namespace serial {

inline constexpr std::chrono::milliseconds TcpConnectTimeout{10000};

// The time-out is a parameter so tests need not wait ten seconds for a connect that never completes.
std::unique_ptr<TCommLayer> MakeTcpCommLayer(std::chrono::milliseconds connectTimeout = TcpConnectTimeout);

}  // namespace serial
