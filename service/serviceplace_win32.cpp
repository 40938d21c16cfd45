#include <windows.h>
// After windows.h:
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <QDir>
#include <cstdio>
#include <string>

#include "serviceplace.h"

namespace service {

namespace {

// Full control for SYSTEM (the service's account) and Administrators, inherited by the journal's
// files, and nothing from %ProgramData%, whose users may read what is made there.
constexpr wchar_t FolderAccess[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

QString Refused(const QString& folder, const char* step, DWORD error) {
  std::fprintf(stderr, "a pasta do serviço %s não pôde ser protegida (%s: erro %lu)\n",
               qUtf8Printable(QDir::toNativeSeparators(folder)), step, error);
  return {};
}

// %ProgramData%\logchamadas\servico, made (or closed again) with an access list of SYSTEM and
// Administrators only; empty, said on standard error, when it cannot be made so. The site's settings
// file stays readable one folder up.
QString ServiceDataFolder() {
  PWSTR programData = nullptr;
  const HRESULT found = ::SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &programData);
  const QString base =
      SUCCEEDED(found) ? QDir::fromNativeSeparators(QString::fromWCharArray(programData)) : QString();
  ::CoTaskMemFree(programData);
  const QString folder = base + QStringLiteral("/logchamadas/servico");
  if (base.isEmpty()) return Refused(folder, "SHGetKnownFolderPath", static_cast<DWORD>(found));
  if (!QDir().mkpath(folder)) return Refused(folder, "CreateDirectory", ::GetLastError());

  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(FolderAccess, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
    return Refused(folder, "ConvertStringSecurityDescriptorToSecurityDescriptor", ::GetLastError());
  }
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL access = nullptr;
  ::GetSecurityDescriptorDacl(descriptor, &present, &access, &defaulted);
  // Set on every start, so a folder made by hand, or loosened since, is closed again; the files
  // already in it take the list by inheritance.
  std::wstring path = QDir::toNativeSeparators(folder).toStdWString();
  const DWORD error = ::SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                              nullptr, nullptr, access, nullptr);
  ::LocalFree(descriptor);
  if (error != ERROR_SUCCESS) return Refused(folder, "SetNamedSecurityInfo", error);
  return folder;
}

}  // namespace

// A folder that cannot be closed to other users gets no journal: the instance lock then refuses the
// empty path, and the service does not start with its calls open to every user.
QString DefaultServiceJournalPath() {
  const QString folder = ServiceDataFolder();
  return folder.isEmpty() ? QString() : folder + QStringLiteral("/journal.sqlite");
}

// QLocalServer makes \\.\pipe\logchamadas of it.
QString DefaultServiceSocketName() {
  return QStringLiteral("logchamadas");
}

}  // namespace service
