#include "linerouter.h"

#include "comm_tcp.h"
#include "devicepath.h"
#include "tcpaddress.h"

namespace serial {

TLineRouter::TLineRouter() : TLineRouter(MakeSystemCommLayer(), MakeTcpCommLayer()) {}

TLineRouter::TLineRouter(std::unique_ptr<TCommLayer> serialLayer, std::unique_ptr<TCommLayer> tcpLayer)
    : FSerial(std::move(serialLayer)), FTcp(std::move(tcpLayer)) {}

// Lines still open are closed by their own layers as those go.
TLineRouter::~TLineRouter() = default;

void TLineRouter::SetDevice(const std::string& portName, const std::string& device) {
  if (device.empty()) {
    FDevices.erase(portName);
  } else {
    FDevices[portName] = device;
  }
}

std::string TLineRouter::DeviceFor(const std::string& portName) const {
  const auto routed = FDevices.find(portName);
  return PortDevice(portName, routed == FDevices.end() ? std::string() : routed->second);
}

TCommLayer* TLineRouter::LayerFor(const std::string& device) const {
  return IsTcpName(device) ? FTcp.get() : FSerial.get();
}

bool TLineRouter::Failed(const TCommLayer* layer) {
  FFailing = layer;
  return false;
}

TCommHandle TLineRouter::Open(const std::string& deviceName) {
  const std::string device = DeviceFor(deviceName);
  TCommLayer* layer = LayerFor(device);
  const TCommHandle inner = layer->Open(device);
  if (inner == InvalidCommHandle) return Failed(layer), InvalidCommHandle;
  const TCommHandle handle = ++FLastHandle;
  FOpen.emplace(handle, TOpenLine{layer, inner});
  return handle;
}

const TLineRouter::TOpenLine* TLineRouter::Find(TCommHandle handle) const {
  const auto found = FOpen.find(handle);
  return found == FOpen.end() ? nullptr : &found->second;
}

bool TLineRouter::GetState(TCommHandle handle, TLineSettings& settings) {
  const TOpenLine* line = Find(handle);
  return line != nullptr && (line->Layer->GetState(line->Inner, settings) || Failed(line->Layer));
}

bool TLineRouter::SetState(TCommHandle handle, const TLineSettings& settings) {
  const TOpenLine* line = Find(handle);
  return line != nullptr && (line->Layer->SetState(line->Inner, settings) || Failed(line->Layer));
}

bool TLineRouter::ClearError(TCommHandle handle, std::uint32_t& bytesWaiting) {
  bytesWaiting = 0;
  const TOpenLine* line = Find(handle);
  return line != nullptr && (line->Layer->ClearError(line->Inner, bytesWaiting) || Failed(line->Layer));
}

bool TLineRouter::Read(TCommHandle handle, char* buffer, std::uint32_t count, std::uint32_t& bytesRead) {
  bytesRead = 0;
  const TOpenLine* line = Find(handle);
  return line != nullptr && (line->Layer->Read(line->Inner, buffer, count, bytesRead) || Failed(line->Layer));
}

bool TLineRouter::Purge(TCommHandle handle, std::uint32_t flags) {
  const TOpenLine* line = Find(handle);
  return line != nullptr && (line->Layer->Purge(line->Inner, flags) || Failed(line->Layer));
}

bool TLineRouter::Close(TCommHandle handle) {
  const auto found = FOpen.find(handle);
  if (found == FOpen.end()) return false;
  const TOpenLine line = found->second;
  FOpen.erase(found);
  return line.Layer->Close(line.Inner) || Failed(line.Layer);
}

bool TLineRouter::LineErrors(TCommHandle handle, TLineErrors& counts) {
  const TOpenLine* line = Find(handle);
  return line != nullptr && line->Layer->LineErrors(line->Inner, counts);
}

bool TLineRouter::Connecting(TCommHandle handle) {
  const TOpenLine* line = Find(handle);
  return line != nullptr && line->Layer->Connecting(line->Inner);
}

std::string TLineRouter::LastErrorText() const {
  return FFailing != nullptr ? FFailing->LastErrorText() : std::string();
}

TOpenFailure TLineRouter::LastOpenFailure() const {
  return FFailing != nullptr ? FFailing->LastOpenFailure() : TOpenFailure::ofOther;
}

std::string TLineRouter::Describe(const std::string& deviceName) const {
  const std::string device = FDevices.contains(deviceName) ? DeviceFor(deviceName) : deviceName;
  return LayerFor(device)->Describe(device);
}

}  // namespace serial
