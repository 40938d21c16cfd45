// The local date and time now, as every room that stamps or dates a line asks for it: tests give
// their own clock to step over midnight or to freeze time.
#pragma once

#include <QDateTime>
#include <functional>

namespace calls {

using TClock = std::function<QDateTime()>;

}  // namespace calls
