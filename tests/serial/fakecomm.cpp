#include "fakecomm.h"

#include <algorithm>
#include <cstring>

namespace serialtest {

void TFakeComm::Log(serial::TCommHandle handle, const std::string& call) {
  FLine->calls.push_back(handle == kHandle ? call : call + " on a wrong handle");
}

serial::TCommHandle TFakeComm::Open(const std::string& deviceName) {
  FLine->calls.push_back("Open " + deviceName);
  return FLine->opens ? kHandle : serial::InvalidCommHandle;
}

bool TFakeComm::GetState(serial::TCommHandle handle, serial::TLineSettings& settings) {
  Log(handle, "GetState");
  if (!FLine->getStateWorks) return false;
  settings = FLine->state;
  return true;
}

bool TFakeComm::SetState(serial::TCommHandle handle, const serial::TLineSettings& settings) {
  Log(handle, "SetState");
  FLine->written.push_back(settings);
  if (!FLine->setStateWorks) return false;
  FLine->state = settings;
  return true;
}

bool TFakeComm::ClearError(serial::TCommHandle handle, std::uint32_t& bytesWaiting) {
  Log(handle, "ClearError");
  if (!FLine->clearErrorWorks) return false;
  bytesWaiting = FLine->reportedWaiting.value_or(static_cast<std::uint32_t>(FLine->waiting.size()));
  return true;
}

bool TFakeComm::Read(serial::TCommHandle handle, char* buffer, std::uint32_t count,
                     std::uint32_t& bytesRead) {
  Log(handle, "Read " + std::to_string(count));
  std::size_t n = std::min<std::size_t>(count, FLine->waiting.size());
  if (FLine->readLimit) n = std::min<std::size_t>(n, *FLine->readLimit);
  std::memcpy(buffer, FLine->waiting.data(), n);
  FLine->waiting.erase(0, n);
  bytesRead = static_cast<std::uint32_t>(n);
  return n == count;
}

bool TFakeComm::Purge(serial::TCommHandle handle, std::uint32_t flags) {
  Log(handle, "Purge " + std::to_string(flags));
  if ((flags & serial::purge::RxClear) != 0) FLine->waiting.clear();
  return true;
}

bool TFakeComm::Close(serial::TCommHandle handle) {
  Log(handle, "Close");
  return FLine->closeWorks;
}

}  // namespace serialtest
