// What can still be read of a damaged journal, once it has been set aside and a new one begun.
#pragma once

#include <QSqlDatabase>
#include <QString>

namespace calls {

struct TRecovery {
  int Calls = 0;  // calls not yet delivered (waiting or set aside) copied into the new journal
  QString Error;  // why the copy failed, if it did (the new journal is then left as it was)
  QString File;   // the set-aside file recovered (the newest, when there were several)
};

// Copies the rows SQLite can still read from the damaged file into the new journal: every call not
// yet delivered, in arrival order and with its delivery state (a call whose commit was under way is
// still looked up before it is stored), and the calls received in the last resentDays days, which
// the re-send guard compares new lines with. A call the guard would have taken as sent again is not
// copied. Unreadable pages are stepped over. The file is recorded as recovered in the copy's own
// commit; a failed copy leaves it to be recovered again.
TRecovery RecoverDamagedJournal(const QString& damagedPath, const QSqlDatabase& into, int resentDays);

// Recovers, in turn, every file set aside beside the journal at journalPath whose recovery has not
// committed: the one just set aside, or one whose recovery a kill or a power cut interrupted. A journal
// an older version began (olderJournal) kept no such record: the files beside it count as recovered.
TRecovery RecoverPendingJournals(const QString& journalPath, const QSqlDatabase& into, int resentDays,
                                 bool olderJournal);

}  // namespace calls
