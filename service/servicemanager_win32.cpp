#include <windows.h>
// After windows.h:
#include <tlhelp32.h>

#include <cstdio>
#include <future>
#include <mutex>
#include <thread>

#include "servicemanager.h"
#include "stopsignals.h"

namespace service {

namespace {

wchar_t ServiceName[] = L"logchamadas";
// How long the manager waits for the next report before it gives the service up: starting takes a
// moment, stopping reads and journals what the driver holds (Windows allows about 20 s at shut-down).
constexpr DWORD StartWaitHint = 10000;
constexpr DWORD StopWaitHint = 15000;

// ServiceMain and the control handler take no context: what they share with the main thread is here.
// Dispatched tells the main thread whether the manager started the process (once a process).
std::promise<DWORD> Dispatched;
SERVICE_STATUS_HANDLE StatusHandle = nullptr;
std::mutex StatusMutex;
SERVICE_STATUS Status = {};

void Report(DWORD state, int exitStatus = 0) {
  const std::lock_guard lock(StatusMutex);
  const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
  Status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  Status.dwCurrentState = state;
  Status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  // A status other than 0 counts as a failure, for the restart the setup program asks for.
  Status.dwWin32ExitCode = exitStatus == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
  Status.dwServiceSpecificExitCode = static_cast<DWORD>(exitStatus);
  Status.dwCheckPoint = pending ? Status.dwCheckPoint + 1 : 0;
  Status.dwWaitHint = state == SERVICE_START_PENDING  ? StartWaitHint
                      : state == SERVICE_STOP_PENDING ? StopWaitHint
                                                      : 0;
  ::SetServiceStatus(StatusHandle, &Status);
}

DWORD WINAPI Control(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      Report(SERVICE_STOP_PENDING);
      window::RaiseStopSignal(control == SERVICE_CONTROL_STOP ? "SERVICE_CONTROL_STOP" : "SERVICE_CONTROL_SHUTDOWN");
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
  StatusHandle = ::RegisterServiceCtrlHandlerExW(ServiceName, Control, nullptr);
  if (StatusHandle == nullptr) {
    Dispatched.set_value(::GetLastError());
    return;
  }
  Report(SERVICE_START_PENDING);
  Dispatched.set_value(NO_ERROR);
}

// services.exe starts every service. Asked to connect, a process it did not start fails at once on
// Windows but only after 10 s under Wine: so it is asked only when its parent is services.exe.
bool StartedByServiceManager() {
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return true;
  PROCESSENTRY32W process = {};
  process.dwSize = sizeof(process);
  DWORD parent = 0;
  for (BOOL more = ::Process32FirstW(snapshot, &process); more; more = ::Process32NextW(snapshot, &process)) {
    if (process.th32ProcessID == ::GetCurrentProcessId()) parent = process.th32ParentProcessID;
  }
  bool started = false;
  for (BOOL more = ::Process32FirstW(snapshot, &process); more; more = ::Process32NextW(snapshot, &process)) {
    if (process.th32ProcessID == parent) started = ::_wcsicmp(process.szExeFile, L"services.exe") == 0;
  }
  ::CloseHandle(snapshot);
  return started;
}

}  // namespace

int RunUnderServiceManager(const std::function<int()>& run) {
  if (!StartedByServiceManager()) return run();
  std::future<DWORD> connected = Dispatched.get_future();
  // Returns at once when the manager did not start the process; else once the service has stopped.
  std::thread dispatcher([] {
    SERVICE_TABLE_ENTRYW services[] = {{ServiceName, ServiceMain}, {nullptr, nullptr}};
    if (!::StartServiceCtrlDispatcherW(services)) Dispatched.set_value(::GetLastError());
  });
  const DWORD error = connected.get();
  if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
    dispatcher.join();
    return run();
  }
  if (error != NO_ERROR) {
    std::fprintf(stderr, "o gerenciador de serviços do Windows recusou o serviço: erro %lu\n", error);
    // The dispatcher may still wait for a service that can report nothing: the process ends it.
    dispatcher.detach();
    return 1;
  }
  Report(SERVICE_RUNNING);
  const int status = run();
  Report(SERVICE_STOPPED, status);
  dispatcher.join();
  return status;
}

}  // namespace service
