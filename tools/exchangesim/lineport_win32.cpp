// The simulator's line ports on Windows: standard output or a COM port, each as a C runtime
// descriptor so the paced writer is the same on every system. Windows has no pseudo-terminals.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "lineport.h"

namespace exchangesim {

namespace {

// "COM1" and its like are device names only in the \\.\ form (always so above COM9).
std::string Win32DevicePath(const std::string& path) {
  const bool comName = path.size() > 3 && _strnicmp(path.c_str(), "COM", 3) == 0 &&
                       path.find_first_not_of("0123456789", 3) == std::string::npos;
  return comName ? "\\\\.\\" + path : path;
}

std::string LastError(const char* what, const std::string& path) {
  return std::string(what) + " " + path + ": Windows error " + std::to_string(GetLastError());
}

// 8N1 at the bit rate, no flow control; a file or a pipe is written as it is.
bool SetLine(HANDLE handle, long bitRate) {
  if (GetFileType(handle) != FILE_TYPE_CHAR) return true;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle, &dcb)) return false;
  dcb.BaudRate = static_cast<DWORD>(bitRate);
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  return SetCommState(handle, &dcb) != 0;
}

}  // namespace

TLinePort::~TLinePort() {
  if (FFd != _fileno(stdout)) _close(FFd);
}

std::unique_ptr<TLinePort> TLinePort::Stdout() {
  // Text mode would turn every LF of the CR LF line ends into CR LF.
  _setmode(_fileno(stdout), _O_BINARY);
  return std::unique_ptr<TLinePort>(new TLinePort(_fileno(stdout), -1, "standard output"));
}

std::unique_ptr<TLinePort> TLinePort::OpenDevice(const std::string& path, long bitRate, std::string& error) {
  const std::string device = Win32DevicePath(path);
  // Read access too: reading and setting a port's state needs it (Wine refuses with error 5).
  HANDLE handle =
      CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = LastError("cannot open", path);
    return nullptr;
  }
  if (!SetLine(handle, bitRate)) {
    error = LastError("cannot set the line settings of", path);
    CloseHandle(handle);
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    error = "cannot write to " + path;
    CloseHandle(handle);
    return nullptr;
  }
  return std::unique_ptr<TLinePort>(new TLinePort(fd, -1, path));
}

std::unique_ptr<TLinePort> TLinePort::OpenPty(long, std::string& error) {
  error = "--pty needs a POSIX system; on Windows give --device COMn";
  return nullptr;
}

}  // namespace exchangesim
