// A claim is a named mutex, held by its handle: machine-wide where the process may make global names
// (an administrator, a service), else for the session; the check looks for both.
#include <windows.h>

#include <string>

#include "lineclaim.h"

namespace capture {

namespace {

std::wstring Scoped(const wchar_t* scope, const QString& line) {
  return std::wstring(scope) + ClaimName(line).toStdWString();
}

}  // namespace

void TLineClaim::Take(const QString& line) {
  Release();
  HANDLE claim = CreateMutexW(nullptr, FALSE, Scoped(L"Global\\", line).c_str());
  if (claim == nullptr) claim = CreateMutexW(nullptr, FALSE, Scoped(L"Local\\", line).c_str());
  FToken = claim == nullptr ? -1 : reinterpret_cast<std::intptr_t>(claim);
}

void TLineClaim::Release() {
  if (FToken != -1) CloseHandle(reinterpret_cast<HANDLE>(FToken));
  FToken = -1;
}

bool TLineClaim::Held(const QString& line) {
  for (const wchar_t* scope : {L"Global\\", L"Local\\"}) {
    if (HANDLE claim = OpenMutexW(SYNCHRONIZE, FALSE, Scoped(scope, line).c_str()); claim != nullptr) {
      CloseHandle(claim);
      return true;
    }
  }
  return false;
}

}  // namespace capture
