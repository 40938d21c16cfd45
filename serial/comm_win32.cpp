// The comm layer over the Win32 communications API.
#include <windows.h>

#include <map>

#include "comm.h"
#include "dcbflags.h"
#include "devicepath.h"

namespace serial {
namespace {

HANDLE Native(TCommHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

class TWin32Comm final : public TCommLayer {
 public:
  TCommHandle Open(const std::string& deviceName) override {
    const std::string path = CommDevicePath(deviceName);
    if (path.empty()) {
      FLastError = "no such port";
      FOpenFailure = TOpenFailure::ofMissing;
      return InvalidCommHandle;
    }
    HANDLE handle =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      // A COM port that another program has open answers "access denied" (no sharing is asked for).
      const DWORD code = GetLastError();
      FOpenFailure = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? TOpenFailure::ofMissing
                     : code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION ? TOpenFailure::ofHeld
                                                                                       : TOpenFailure::ofOther;
      return Failed(), InvalidCommHandle;
    }
    // A read returns at once with what is queued: the receive cycle polls and must never wait.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    SetCommTimeouts(handle, &timeouts);
    return reinterpret_cast<TCommHandle>(handle);
  }

  bool GetState(TCommHandle handle, TLineSettings& settings) override {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(Native(handle), &dcb)) return Failed();
    settings = FromDcb(dcb);
    return true;
  }

  bool SetState(TCommHandle handle, const TLineSettings& settings) override {
    DCB dcb = ToDcb(settings);
    return SetCommState(Native(handle), &dcb) != 0 || Failed();
  }

  bool ClearError(TCommHandle handle, std::uint32_t& bytesWaiting) override {
    DWORD errors = 0;
    COMSTAT status{};
    const bool ok = ClearCommError(Native(handle), &errors, &status) != 0;
    // With the far side gone, or a USB adapter pulled, the call fails (ERROR_BAD_COMMAND,
    // ERROR_ACCESS_DENIED) and reports nothing waiting.
    bytesWaiting = ok ? status.cbInQue : 0;
    if (!ok) return Failed();
    // The flags say only whether errors happened since the last call: count them here.
    TLineErrors& counts = FErrors[handle];
    counts.Frame += (errors & CE_FRAME) != 0;
    counts.Parity += (errors & CE_RXPARITY) != 0;
    counts.Overrun += (errors & (CE_OVERRUN | CE_RXOVER)) != 0;
    counts.Break += (errors & CE_BREAK) != 0;
    return true;
  }

  bool Read(TCommHandle handle, char* buffer, std::uint32_t count, std::uint32_t& bytesRead) override {
    DWORD done = 0;
    const bool ok = ReadFile(Native(handle), buffer, count, &done, nullptr) != 0;
    bytesRead = done;
    return ok || Failed();
  }

  bool Purge(TCommHandle handle, std::uint32_t flags) override {
    return PurgeComm(Native(handle), flags) != 0;
  }

  // INVALID_HANDLE_VALUE is also the current process's pseudo-handle, which CloseHandle "closes"
  // with success; a port that is not open has nothing to close.
  bool Close(TCommHandle handle) override {
    FErrors.erase(handle);
    return handle != InvalidCommHandle && CloseHandle(Native(handle)) != 0;
  }

  bool LineErrors(TCommHandle handle, TLineErrors& counts) override {
    const auto found = FErrors.find(handle);
    counts = found != FErrors.end() ? found->second : TLineErrors{};
    return true;
  }

  std::string LastErrorText() const override { return FLastError; }
  TOpenFailure LastOpenFailure() const override { return FOpenFailure; }

 private:
  // Notes the system's text for GetLastError(), in UTF-8 (not the ANSI code page, which would garble a
  // Portuguese Windows' accents); false, for the caller to return.
  bool Failed() {
    const DWORD code = GetLastError();
    wchar_t text[512] = {};
    const auto length = static_cast<int>(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                                        nullptr, code, 0, text, 512, nullptr));
    FLastError.assign(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr)),
                      '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, FLastError.data(), static_cast<int>(FLastError.size()), nullptr,
                        nullptr);
    while (!FLastError.empty() && (FLastError.back() == '\n' || FLastError.back() == '\r' || FLastError.back() == ' '))
      FLastError.pop_back();
    FLastError += " (" + std::to_string(code) + ")";
    return false;
  }

  std::map<TCommHandle, TLineErrors> FErrors;
  std::string FLastError;
  TOpenFailure FOpenFailure = TOpenFailure::ofOther;
};

}  // namespace

std::unique_ptr<TCommLayer> MakeSystemCommLayer() {
  return std::make_unique<TWin32Comm>();
}

}  // namespace serial
