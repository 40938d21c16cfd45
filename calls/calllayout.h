// Where the exchange prints each value on its call line. This is the only place that knows the
// columns: the decoder reads by it and the exchange simulator writes by it.
#pragma once

namespace calls {

// A run of columns, counted from 1 as the exchange's printout does.
struct TColumns {
  int First = 0;
  int Width = 0;
};

struct TCallLineLayout {
  TColumns Day{1, 2};
  TColumns DateSeparator1{3, 1};  // printed, never read
  TColumns Month{4, 2};
  TColumns DateSeparator2{6, 1};  // printed, never read
  TColumns Year{7, 2};
  TColumns Hour{9, 2};             // the hour follows the year with no blank between
  TColumns TimeSeparator1{11, 1};  // printed, never read
  TColumns Minute{12, 2};
  TColumns TimeSeparator2{14, 1};  // printed, never read
  TColumns Second{15, 2};
  TColumns Trunk{19, 2};
  TColumns Extension{22, 9};
  TColumns Duration{31, 8};
  TColumns DialledNumber{39, 37};
  TColumns PersonalCode{77, 4};
  int PrintedWidth = 80;  // columns the exchange prints before its CR LF
};

inline constexpr TCallLineLayout CallLine{};

}  // namespace calls
