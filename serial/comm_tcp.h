// The comm layer for lines that arrive over TCP: "tcp://HOST:PORT", this program connecting as a client.
//
// Open never waits: a well-formed address gives a handle at once (a malformed one gives none) and the
// connect goes on behind it (the name is looked up on a thread of its own unless it is an address
// literal; every address it has is tried in turn). While it goes on, Connecting says so and ClearError
// reports 0 bytes waiting. A connect that has not completed within the time-out has failed. A name is
// looked up once at a time: an open while its look-up is still pending shares it (a look-up cannot be
// cancelled, so a hung name server holds one thread, not one per retry), and once that look-up is
// older than the time-out the open fails at once ("a consulta do nome não respondeu em 10 s"); its
// answer, when it comes, serves the next open. From a failure on (name
// unknown, refused, time-out, the peer closed the connection or reset it) ClearError and Read report
// failure until the handle is closed, and LastErrorText says why, in the operator's words; bytes that
// arrived before an orderly close are still counted and read first. A short read is no failure.
// Keepalive is on. Line settings are accepted and read back but change nothing: a TCP line has no
// speed. Purging the input discards what is waiting.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm.h"
#include "netsocket.h"

namespace serial {

inline constexpr std::chrono::milliseconds TcpConnectTimeout{10000};

// Looks a name up, as net::Resolve does (which it is unless tests give one that never answers).
using TResolver = std::function<bool(const std::string& host, const std::string& port,
                                     std::vector<net::TAddress>& addresses, std::string& error)>;

// The time-out is a parameter so tests need not wait ten seconds for a connect that never completes.
std::unique_ptr<TCommLayer> MakeTcpCommLayer(std::chrono::milliseconds connectTimeout = TcpConnectTimeout,
                                             TResolver resolver = {});

}  // namespace serial
