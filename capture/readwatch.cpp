#include "readwatch.h"

#include <utility>

namespace capture {

TReadWatch::TReadWatch(std::unique_ptr<serial::TCommLayer> inner) : FInner(std::move(inner)) {}

bool TReadWatch::TakeReceived() {
  return std::exchange(FReceived, false);
}

bool TReadWatch::TakeOpened() {
  return std::exchange(FOpened, false);
}

bool TReadWatch::TakeLost() {
  return std::exchange(FLost, false);
}

bool TReadWatch::Fail() {
  FLost = true;
  FFailure = FInner->LastErrorText();
  return false;
}

serial::TCommHandle TReadWatch::Open(const std::string& deviceName) {
  FOpened = true;
  FLost = false;
  FRefused = false;
  FHandle = FInner->Open(deviceName);
  if (FHandle == serial::InvalidCommHandle) FFailure = FInner->LastErrorText();
  return FHandle;
}

bool TReadWatch::GetState(serial::TCommHandle handle, serial::TLineSettings& settings) {
  return FInner->GetState(handle, settings) || Refused(handle);
}

bool TReadWatch::SetState(serial::TCommHandle handle, const serial::TLineSettings& settings) {
  return FInner->SetState(handle, settings) || Refused(handle);
}

bool TReadWatch::Refused(serial::TCommHandle handle) {
  if (handle == FHandle && !FRefused) {
    FRefused = true;
    FFailure = "a porta recusou a configuração da linha: " + FInner->LastErrorText();
  }
  return false;
}

bool TReadWatch::ClearError(serial::TCommHandle handle, std::uint32_t& bytesWaiting) {
  return FInner->ClearError(handle, bytesWaiting) || Fail();
}

bool TReadWatch::Read(serial::TCommHandle handle, char* buffer, std::uint32_t count,
                      std::uint32_t& bytesRead) {
  const bool ok = FInner->Read(handle, buffer, count, bytesRead);
  // The component keeps whatever count the read reports, even from a failed read.
  if (bytesRead > 0) FReceived = true;
  return ok || Fail();
}

bool TReadWatch::Purge(serial::TCommHandle handle, std::uint32_t flags) {
  return FInner->Purge(handle, flags);
}

bool TReadWatch::Close(serial::TCommHandle handle) {
  if (handle == FHandle) FHandle = serial::InvalidCommHandle;
  return FInner->Close(handle);
}

TLineReady TReadWatch::Ready() {
  if (FRefused) return TLineReady::lrFailed;
  std::uint32_t waiting = 0;
  if (FHandle == serial::InvalidCommHandle || !FInner->ClearError(FHandle, waiting)) {
    FFailure = FInner->LastErrorText();
    return TLineReady::lrFailed;
  }
  return FInner->Connecting(FHandle) ? TLineReady::lrPending : TLineReady::lrReady;
}

bool TReadWatch::Connecting(serial::TCommHandle handle) {
  return FInner->Connecting(handle);
}

bool TReadWatch::DriverErrors(serial::TLineErrors& counts) {
  return FHandle != serial::InvalidCommHandle && FInner->LineErrors(FHandle, counts);
}

bool TReadWatch::LineErrors(serial::TCommHandle handle, serial::TLineErrors& counts) {
  return FInner->LineErrors(handle, counts);
}

std::string TReadWatch::LastErrorText() const {
  return FInner->LastErrorText();
}

std::string TReadWatch::Describe(const std::string& deviceName) const {
  return FInner->Describe(deviceName);
}

serial::TOpenFailure TReadWatch::LastOpenFailure() const {
  return FInner->LastOpenFailure();
}

}  // namespace capture
