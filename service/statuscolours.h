// The status line's colours: amber for what needs a look, red for what stops calls reaching their end.
#pragma once

#include <QColor>

namespace service {

inline const QColor StatusAmber(176, 104, 0);
inline const QColor StatusRed(192, 0, 0);

}  // namespace service
