#include <windows.h>

#include <QLocalSocket>
#include <string>

#include "mayoperate.h"

namespace service {

namespace {

// Whether the impersonated client's token holds the group; a missing group holds nobody.
bool InGroup(HANDLE token, PSID group) {
  BOOL member = FALSE;
  return group != nullptr && ::CheckTokenMembership(token, group, &member) && member;
}

// The local group the site may make for its operators, as on Linux; absent, only administrators act.
bool InOperatorsGroup(HANDLE token) {
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof sid;
  wchar_t domain[256];
  DWORD domainSize = 256;
  SID_NAME_USE use;
  const std::wstring name = QString::fromLatin1(OperatorsGroup).toStdWString();
  return ::LookupAccountNameW(nullptr, name.c_str(), sid, &sidSize, domain, &domainSize, &use) &&
         (use == SidTypeAlias || use == SidTypeGroup) && InGroup(token, sid);
}

}  // namespace

// The client's own token, seen by impersonating it for a moment (the request it sent was read, which
// a pipe needs first): the system's account, an administrator (elevated) or a member of the local group
// logchamadas may act; anyone else may only watch.
bool MayOperate(const QLocalSocket& peer) {
  const auto pipe = reinterpret_cast<HANDLE>(peer.socketDescriptor());
  if (pipe == INVALID_HANDLE_VALUE || pipe == nullptr || !::ImpersonateNamedPipeClient(pipe)) return false;
  HANDLE token = nullptr;
  const bool opened = ::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token);
  ::RevertToSelf();
  if (!opened) return false;
  BYTE system[SECURITY_MAX_SID_SIZE];
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof system;
  const bool haveSystem = ::CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &size);
  size = sizeof administrators;
  const bool haveAdministrators = ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size);
  const bool may = (haveSystem && InGroup(token, system)) ||
                   (haveAdministrators && InGroup(token, administrators)) || InOperatorsGroup(token);
  ::CloseHandle(token);
  return may;
}

}  // namespace service
