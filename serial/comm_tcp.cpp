#include "comm_tcp.h"

#include <algorithm>
#include <future>
#include <map>
#include <system_error>
#include <thread>
#include <vector>

#include "netsocket.h"
#include "tcpaddress.h"

namespace serial {

namespace {

using TClock = std::chrono::steady_clock;

// Purges take at most this much at a time.
constexpr std::uint32_t kChunk = 4096;

constexpr const char* kPeerClosed = "a outra ponta encerrou a conexão";

struct TLookup {
  std::vector<net::TAddress> Addresses;
  std::string Error;
};

// A name server may take seconds to answer: look the name up on a thread of its own, which is left
// to finish alone when no line waits for it any more.
std::shared_future<TLookup> LookUp(const TTcpAddress& address, const TResolver& resolver) {
  std::promise<TLookup> promise;
  std::shared_future<TLookup> result = promise.get_future().share();
  std::thread([address, resolver, promise = std::move(promise)]() mutable {
    TLookup lookup;
    resolver(address.Host, address.Port, lookup.Addresses, lookup.Error);
    promise.set_value(std::move(lookup));
  }).detach();
  return result;
}

bool Answered(const std::shared_future<TLookup>& lookup) {
  return lookup.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

std::string SecondsText(std::chrono::milliseconds span) {
  return std::to_string((span.count() + 999) / 1000) + " s";
}

class TTcpComm final : public TCommLayer {
 public:
  TTcpComm(std::chrono::milliseconds connectTimeout, TResolver resolver)
      : FTimeout(connectTimeout), FResolver(std::move(resolver)) {
    if (!FResolver) {
      FResolver = [](const std::string& host, const std::string& port, std::vector<net::TAddress>& addresses,
                     std::string& error) { return net::Resolve(host, port, false, addresses, error); };
    }
  }
  ~TTcpComm() override {
    for (auto& [handle, line] : FLines) Disconnect(line);
  }
  TTcpComm(const TTcpComm&) = delete;
  TTcpComm& operator=(const TTcpComm&) = delete;

  TCommHandle Open(const std::string& deviceName) override {
    const std::optional<TTcpAddress> address = ParseTcpAddress(deviceName);
    if (!address) {
      FLastError = "endereço mal formado: " + deviceName;
      return InvalidCommHandle;
    }
    TLine line;
    line.Deadline = TClock::now() + FTimeout;
    std::string ignored;
    if (net::Resolve(address->Host, address->Port, true, line.Addresses, ignored)) {
      ConnectNext(line);
    } else if (!StartLookUp(*address, line)) {
      return InvalidCommHandle;
    }
    const TCommHandle handle = ++FLastHandle;
    FLines.emplace(handle, std::move(line));
    return handle;
  }

  bool GetState(TCommHandle handle, TLineSettings& settings) override {
    TLine* line = Find(handle);
    if (line != nullptr) settings = line->Settings;
    return line != nullptr;
  }

  bool SetState(TCommHandle handle, const TLineSettings& settings) override {
    TLine* line = Find(handle);
    if (line != nullptr) line->Settings = settings;
    return line != nullptr;
  }

  bool ClearError(TCommHandle handle, std::uint32_t& bytesWaiting) override {
    bytesWaiting = 0;
    TLine* line = Find(handle);
    if (line == nullptr) return false;
    Advance(*line);
    if (line->Stage == TStage::Failed) return Fail(*line, line->Failure);
    if (line->Stage != TStage::Connected) return true;

    std::uint32_t waiting = 0;
    if (!net::BytesWaiting(line->Socket, waiting, line->Failure)) return Fail(*line, line->Failure);
    if (waiting > 0) {
      bytesWaiting = waiting;
      return true;
    }
    // Nothing waits: an orderly close from the peer shows only as a receive of nothing.
    char probe = 0;
    std::uint32_t got = 0;
    switch (net::Receive(line->Socket, &probe, 1, true, got, line->Failure)) {
      case net::TReceived::PeerClosed:
        return Fail(*line, kPeerClosed);
      case net::TReceived::Failed:
        return Fail(*line, line->Failure);
      case net::TReceived::Bytes:  // arrived since the count was taken: the next query counts it
      case net::TReceived::Nothing:
        return true;
    }
    return true;
  }

  // Fewer bytes than asked is no failure; only an error or the peer's close is.
  bool Read(TCommHandle handle, char* buffer, std::uint32_t count, std::uint32_t& bytesRead) override {
    bytesRead = 0;
    TLine* line = Find(handle);
    if (line == nullptr) return false;
    if (line->Stage == TStage::Failed) return Fail(*line, line->Failure);
    while (line->Stage == TStage::Connected && bytesRead < count) {
      std::uint32_t got = 0;
      const net::TReceived received =
          net::Receive(line->Socket, buffer + bytesRead, count - bytesRead, false, got, line->Failure);
      bytesRead += got;
      if (received == net::TReceived::PeerClosed) return Fail(*line, kPeerClosed);
      if (received == net::TReceived::Failed) return Fail(*line, line->Failure);
      if (received == net::TReceived::Nothing) break;
    }
    return true;
  }

  bool Connecting(TCommHandle handle) override {
    TLine* line = Find(handle);
    if (line == nullptr) return false;
    Advance(*line);
    return line->Stage == TStage::Resolving || line->Stage == TStage::Connecting;
  }

  bool Purge(TCommHandle handle, std::uint32_t flags) override {
    TLine* line = Find(handle);
    if (line == nullptr) return false;
    if ((flags & purge::RxClear) == 0 || line->Stage != TStage::Connected) return true;
    std::uint32_t waiting = 0;
    if (!net::BytesWaiting(line->Socket, waiting, line->Failure)) return false;
    char discard[kChunk];
    while (waiting > 0) {
      std::uint32_t got = 0;
      const std::uint32_t wanted = std::min<std::uint32_t>(waiting, kChunk);
      if (net::Receive(line->Socket, discard, wanted, false, got, line->Failure) != net::TReceived::Bytes) break;
      waiting -= got;
    }
    return true;
  }

  bool Close(TCommHandle handle) override {
    const auto found = FLines.find(handle);
    if (found == FLines.end()) return false;
    Disconnect(found->second);
    FLines.erase(found);
    return true;
  }

  std::string LastErrorText() const override { return FLastError; }

 private:
  enum class TStage { Resolving, Connecting, Connected, Failed };

  // A look-up under way, or done and not yet taken by a line.
  struct TLookUpRun {
    std::shared_future<TLookup> Answer;
    TClock::time_point Deadline;  // when it counts as not answering
  };

  struct TLine {
    TStage Stage = TStage::Connecting;
    std::string Name;  // HOST:PORT, the look-up's key
    std::shared_future<TLookup> Lookup;
    TClock::time_point LookupDeadline;
    std::vector<net::TAddress> Addresses;
    std::size_t NextAddress = 0;
    net::TSocket Socket = net::NoSocket;
    TClock::time_point Deadline;
    std::string Failure;
    TLineSettings Settings{.Flags = commflag::Binary};
  };

  TLine* Find(TCommHandle handle) {
    const auto found = FLines.find(handle);
    return found == FLines.end() ? nullptr : &found->second;
  }

  // Puts the line on the look-up of its name: the one under way, or a new one. False, with the
  // reason, when the one under way is past its time or no thread can be had.
  bool StartLookUp(const TTcpAddress& address, TLine& line) {
    line.Name = address.Host + ':' + address.Port;
    auto run = FLookUps.find(line.Name);
    if (run == FLookUps.end()) {
      try {
        run = FLookUps.emplace(line.Name, TLookUpRun{LookUp(address, FResolver), TClock::now() + FTimeout})
                  .first;
      } catch (const std::system_error&) {
        FLastError = "sem recursos para procurar o nome " + address.Host;
        return false;
      }
    } else if (!Answered(run->second.Answer) && TClock::now() >= run->second.Deadline) {
      FLastError = NameSilentText();
      return false;
    }
    line.Lookup = run->second.Answer;
    line.LookupDeadline = run->second.Deadline;
    line.Stage = TStage::Resolving;
    return true;
  }

  std::string NameSilentText() const {
    return "a consulta do nome não respondeu em " + SecondsText(FTimeout);
  }

  // Moves a line that is being connected as far on as it can go now.
  void Advance(TLine& line) {
    if (line.Stage == TStage::Resolving && Answered(line.Lookup)) {
      // Taken: the next open looks the name up again.
      if (const auto run = FLookUps.find(line.Name); run != FLookUps.end() && Answered(run->second.Answer)) {
        FLookUps.erase(run);
      }
      TLookup lookup = line.Lookup.get();
      if (lookup.Addresses.empty()) {
        Fail(line, lookup.Error);
        return;
      }
      line.Addresses = std::move(lookup.Addresses);
      ConnectNext(line);
    }
    while (line.Stage == TStage::Connecting) {
      const net::TConnectProgress progress = net::ConnectProgress(line.Socket, line.Failure);
      if (progress == net::TConnectProgress::Pending) break;
      if (progress == net::TConnectProgress::Connected) {
        line.Stage = TStage::Connected;
        return;
      }
      net::Close(line.Socket);
      line.Socket = net::NoSocket;
      ConnectNext(line);
    }
    if (line.Stage == TStage::Resolving && TClock::now() >= line.LookupDeadline) Fail(line, NameSilentText());
    if ((line.Stage == TStage::Resolving || line.Stage == TStage::Connecting) &&
        TClock::now() >= line.Deadline) {
      Fail(line, "sem resposta em " + SecondsText(FTimeout));
    }
  }

  // Starts a connect to the next address that takes one; a line with none left has failed with the
  // last reason.
  void ConnectNext(TLine& line) {
    line.Stage = TStage::Connecting;
    while (line.NextAddress < line.Addresses.size()) {
      line.Socket = net::StartConnect(line.Addresses[line.NextAddress++], line.Failure);
      if (line.Socket != net::NoSocket) return;
    }
    Fail(line, line.Failure);
  }

  // The line has failed for good; false, for the caller to return.
  bool Fail(TLine& line, const std::string& reason) {
    Disconnect(line);
    line.Stage = TStage::Failed;
    line.Failure = reason;
    FLastError = reason;
    return false;
  }

  static void Disconnect(TLine& line) {
    if (line.Socket != net::NoSocket) net::Close(line.Socket);
    line.Socket = net::NoSocket;
  }

  std::chrono::milliseconds FTimeout;
  TResolver FResolver;
  std::map<std::string, TLookUpRun> FLookUps;  // by HOST:PORT
  std::map<TCommHandle, TLine> FLines;
  TCommHandle FLastHandle = 0;
  std::string FLastError;
};

}  // namespace

std::unique_ptr<TCommLayer> MakeTcpCommLayer(std::chrono::milliseconds connectTimeout, TResolver resolver) {
  return std::make_unique<TTcpComm>(connectTimeout, std::move(resolver));
}

}  // namespace serial
