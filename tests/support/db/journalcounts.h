// The journal's waiting and set-aside calls, for tests that check them after each step.
#pragma once

#include <gtest/gtest.h>

#include "journal.h"

inline calls::TJournalCounts CountsOf(calls::TJournal& journal) {
  calls::TJournalCounts counts;
  EXPECT_TRUE(journal.Counts(counts)) << journal.LastError().toStdString();
  return counts;
}
