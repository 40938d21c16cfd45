// The site's line: where it is (a serial device or tcp://HOST:PORT), how it is set, and after how many
// silent hours the operator is warned. Read from two files, system-wide and the user's, whose values
// win key by key; saved to the system-wide file when it can be written, else to the user's. This is
// the one unit that knows QSettings: the cycle and the settings dialog take TSiteSettings.
//
//   [porta]
//   dispositivo=COM1        COMn, a device path (/dev/ttyUSB0, /dev/serial/by-id/..., \\.\COM12) or
//                           tcp://HOST:PORT
//   velocidade=9600         any rate the port component knows, 110 to 256000
//   bits_dados=8            5 to 8
//   paridade=nenhuma        nenhuma, par, impar, marca, espaco
//   bits_parada=1           1, 1.5 (only with 5 data bits), 2 (not with 5 data bits)
//   controle_fluxo=nenhum   nenhum, xon_xoff, rts_cts, dtr_dsr
//   [linha]
//   silencio_horas=0        0 (never) to 720
//
// Without either file the line is the one the program always had: COM1, 9600 bit/s, 8N1, no flow
// control. Which device the line opens in the end: the environment's LOGCHAMADAS_COM1 (Linux) over the
// user's dispositivo over the system's over COM1 (TLineRouter::DeviceFor, PortDevice in devicepath.h).
#pragma once

#include <QString>
#include <QStringList>

#include "serialport.h"

namespace serial {
class TLineRouter;
}

namespace capture {

// The longest silence limit, a month: beyond it a warning says nothing.
inline constexpr int MaxSilenceHours = 720;

struct TSiteSettings {
  QString Device = QStringLiteral("COM1");
  serial::TBaudRate Speed = serial::TBaudRate::br9600;
  serial::TDataBits DataBits = serial::TDataBits::db8;
  serial::TParityType Parity = serial::TParityType::pcNone;
  serial::TStopBits StopBits = serial::TStopBits::sbOne;
  serial::TFlowControl FlowControl = serial::TFlowControl::fcNone;
  int SilenceHours = 0;  // 0: the line's silence is never a warning (an exchange is quiet every night)

  friend bool operator==(const TSiteSettings&, const TSiteSettings&) = default;
};

// The two files, full paths; an empty one is not read or written.
struct TSettingsFiles {
  QString System;
  QString User;
};

// This machine's files (one implementation per system). Linux: the user's is
// $XDG_CONFIG_HOME/logchamadas/logchamadas.conf (~/.config by default); the system-wide one is the first
// logchamadas/logchamadas.conf found in the folders of $XDG_CONFIG_DIRS (/etc/xdg by default), which
// take precedence in their order as QSettings gives them, or, when none exists yet, the one in the last
// of those folders (/etc/xdg, which every session reads). Windows: logchamadas\logchamadas.ini under
// the common application data folder (system-wide) and under the user's roaming one.
TSettingsFiles SiteSettingsFiles();

struct TSiteSettingsRead {
  TSiteSettings Settings;  // the defaults, then the system file's values, then the user's
  QStringList Warnings;    // one line each: keys that mean nothing here, ignored
  QStringList Errors;      // one line each: values out of range, files that cannot be read

  bool Ok() const { return Errors.isEmpty(); }
  // What stops the start, for a message box and standard error: every error, one a line, each naming
  // the file, the key, the value and what is allowed.
  QString ErrorMessage() const { return Errors.join(QLatin1Char('\n')); }
};

// Every value of both files is checked, also one that the user's file overrides, so that a bad value
// is found where it is written and not when another file changes.
TSiteSettingsRead ReadSiteSettings(const TSettingsFiles& files);

struct TSiteSettingsSaved {
  QString File;   // the file written
  QString Error;  // empty when one was written

  bool Ok() const { return Error.isEmpty(); }
};

// Writes every key (other keys in the file stay) to the system-wide file when it can be written (root,
// administrator), otherwise to the user's. A system-wide file it creates is readable by every user.
TSiteSettingsSaved SaveSiteSettings(const TSiteSettings& settings, const TSettingsFiles& files);

// Why the stop bits do not go with the data bits (a UART makes one and a half only with 5 data bits,
// and two not with 5: Windows refuses the others, Linux would make other stop bits), naming the key
// as the files have it; empty when they go.
QString StopBitsError(const TSiteSettings& settings);

// Whether the settings take this device (a serial device name of this system, or a well-formed
// tcp://HOST:PORT), and the words that say which they take.
bool IsLineDevice(const QString& device);
QString LineDevicesAllowed();

// Names the line for the status line's tool tip: "/dev/ttyUSB0 1200 7E1", "COM1 9600 8N1 RTS/CTS",
// "tcp://10.0.0.5:4001". device is the one the line opens (TLineRouter::DeviceFor).
QString LineText(const TSiteSettings& settings, const QString& device);
// The same for the settings a port holds now.
QString LineText(const serial::TSerialPort& port, const QString& device);

// Routes the port's device name to the site's device and puts the line settings on the port (applied
// at once to an open port, else at its next open).
void ApplyToLine(const TSiteSettings& settings, serial::TLineRouter& router, serial::TSerialPort& port);

}  // namespace capture
