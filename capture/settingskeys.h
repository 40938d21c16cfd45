// The keys of the site's settings files as data: where each sits, what it accepts, how a value reads
// into TSiteSettings and back. Used by sitesettings.cpp alone.
#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "sitesettings.h"

namespace capture {

struct TSettingsKey {
  QString Group;
  QString Name;
  QString Allowed;  // what the key accepts, for the operator
  // Puts a value into the settings; false, leaving them alone, when the value is not allowed.
  std::function<bool(const QString& value, TSiteSettings& settings)> Read;
  std::function<QString(const TSiteSettings& settings)> Write;

  QString Path() const { return Group + QLatin1Char('/') + Name; }
};

const std::vector<TSettingsKey>& SettingsKeys();

// The short names of the line settings, for LineText: "8", "N", "1.5", "RTS/CTS" (empty for none).
QString DataBitsText(serial::TDataBits bits);
QString ParityLetter(serial::TParityType parity);
QString StopBitsText(serial::TStopBits bits);
QString FlowText(serial::TFlowControl flow);

}  // namespace capture
