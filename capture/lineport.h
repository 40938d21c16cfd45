// The port on the site's line, built the one way the logger, its line test and the benchmarks read
// it: TSerialPort on COM1 over a read watch over the router, so that COM1 opens whatever device the
// settings route it to and the watch sees every read and failure.
#pragma once

#include <memory>

#include "linerouter.h"
#include "readwatch.h"
#include "serialport.h"

namespace capture {

struct TLinePort {
  std::unique_ptr<serial::TSerialPort> Port;
  TReadWatch* Watch = nullptr;           // under Port, which owns it
  serial::TLineRouter* Router = nullptr;  // under Watch
};

TLinePort MakeLinePort();

}  // namespace capture
