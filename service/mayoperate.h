// Who may connect and disconnect the service's line from a view: every local user may watch, only the
// operators may act.
#pragma once

class QLocalSocket;

namespace service {

// The operators' group, a local group on either system.
inline constexpr const char* OperatorsGroup = "logchamadas";

// Linux: the peer's credentials say root, or a member of the group logchamadas (its primary group or
// one of its others). Windows: the system account, an elevated administrator, or a member of the local
// group logchamadas.
bool MayOperate(const QLocalSocket& peer);

}  // namespace service
