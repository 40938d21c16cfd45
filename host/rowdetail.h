// The caller's personal code (SENH) stays in the call's row: drivers quote the row they refused
// (psqlODBC: "DETAIL: Failing row contains (...)"), and that text would otherwise reach the log
// panel, the status line's tool tip, the journal's reason of a set-aside call and standard error.
#pragma once

#include <QString>
#include <vector>

namespace calls {

// The driver's text without its row detail (every "DETAIL:" line, which quotes a row or a key), and
// with each of the personal codes, where one still appears as a word of its own, masked.
QString WithoutPersonalCode(QString text, const std::vector<QString>& personalCodes = {});

// From now on, Qt's own messages (which its ODBC driver writes with the driver's text of a failed
// statement, whatever the server quoted in it: a trigger's or a constraint's message, a duplicate key)
// reach standard error without row detail, and without the personal codes of the rows the thread's
// statements are about (TRowCodes). For the program entry: it changes the process's message handler.
void KeepRowDetailOutOfQtMessages();

// While it lives, the personal codes of the rows this thread's statements send are masked in every Qt
// message the thread prints.
class TRowCodes {
 public:
  explicit TRowCodes(std::vector<QString> codes);
  ~TRowCodes();
  TRowCodes(const TRowCodes&) = delete;
  TRowCodes& operator=(const TRowCodes&) = delete;

 private:
  std::vector<QString> FCodes;
  const std::vector<QString>* FOuter;
};

}  // namespace calls
