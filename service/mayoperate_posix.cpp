#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <QLocalSocket>
#include <algorithm>
#include <vector>

#include "mayoperate.h"

namespace service {

bool MayOperate(const QLocalSocket& peer) {
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (::getsockopt(static_cast<int>(peer.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) !=
      0)
    return false;
  if (credentials.uid == 0) return true;
  const group* operators = ::getgrnam(OperatorsGroup);
  if (operators == nullptr) return false;
  const gid_t wanted = operators->gr_gid;
  if (credentials.gid == wanted) return true;
  // The peer's other groups, as the group database lists them for its user.
  const passwd* user = ::getpwuid(credentials.uid);
  if (user == nullptr) return false;
  int count = 64;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  if (::getgrouplist(user->pw_name, credentials.gid, groups.data(), &count) < 0) {
    groups.resize(static_cast<std::size_t>(count));
    if (::getgrouplist(user->pw_name, credentials.gid, groups.data(), &count) < 0) return false;
  }
  groups.resize(static_cast<std::size_t>(count));
  return std::find(groups.begin(), groups.end(), wanted) != groups.end();
}

}  // namespace service
