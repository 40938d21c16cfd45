// The comm layer the program's port is built on: it opens each device on the layer its name asks for
// (tcp://HOST:PORT on the TCP layer, anything else on this system's serial layer) and sends every later
// call on a handle to the layer that opened it, so the cycle never knows which kind of line it reads.
//
// How the site's device reaches TSerialPort, which opens only "COM1".."COM8" (DeviceName()): the router
// holds a device for a port name (SetDevice), and opening that name opens the device instead. The
// window builds its port once over a router and, before each connect, routes the port's name to the
// device of the site's settings:
//     auto router = std::make_unique<serial::TLineRouter>();
//     serial::TLineRouter& lines = *router;
//     TSerialPort SP(std::make_unique<capture::TReadWatch>(std::move(router)));
//     lines.SetDevice(SP.DeviceName(), "/dev/ttyUSB0");   // or "COM3", "\\.\COM12", "tcp://10.0.0.5:4001"
//     SP.OpenPort();
// On Linux the port's own LOGCHAMADAS_COMn, when set, still wins over the routed device (PortDevice in
// devicepath.h). A name without a route opens itself, as before.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "comm.h"

namespace serial {

class TLineRouter final : public TCommLayer {
 public:
  // The system's serial layer and the TCP layer, unless others are given (tests pass fakes).
  TLineRouter();
  TLineRouter(std::unique_ptr<TCommLayer> serialLayer, std::unique_ptr<TCommLayer> tcpLayer);
  ~TLineRouter() override;
  TLineRouter(const TLineRouter&) = delete;
  TLineRouter& operator=(const TLineRouter&) = delete;

  // From the next open on, portName opens device; an empty device removes the route.
  void SetDevice(const std::string& portName, const std::string& device);
  // What opening portName opens now: the routed device, or the environment's redirection that wins
  // over it, or the name itself. For the operator ("the line in use").
  std::string DeviceFor(const std::string& portName) const;

  TCommHandle Open(const std::string& deviceName) override;
  bool GetState(TCommHandle handle, TLineSettings& settings) override;
  bool SetState(TCommHandle handle, const TLineSettings& settings) override;
  bool ClearError(TCommHandle handle, std::uint32_t& bytesWaiting) override;
  bool Read(TCommHandle handle, char* buffer, std::uint32_t count, std::uint32_t& bytesRead) override;
  bool Purge(TCommHandle handle, std::uint32_t flags) override;
  bool Close(TCommHandle handle) override;
  bool LineErrors(TCommHandle handle, TLineErrors& counts) override;
  bool Connecting(TCommHandle handle) override;
  // The words of the layer whose operation failed last.
  std::string LastErrorText() const override;
  // A routed port is described by its device ("/dev/ttyUSB0", "COM3 (/dev/ttyS2)", "tcp://..."); a
  // port without a route as the serial layer describes it ("COM1 (/dev/ttyS0)").
  std::string Describe(const std::string& deviceName) const override;
  TOpenFailure LastOpenFailure() const override;

 private:
  // An open line: the layer that opened it and that layer's own handle. The router hands out handles
  // of its own, since two layers may number their lines alike.
  struct TOpenLine {
    TCommLayer* Layer;
    TCommHandle Inner;
  };
  const TOpenLine* Find(TCommHandle handle) const;
  TCommLayer* LayerFor(const std::string& device) const;
  // Notes the layer of a failing operation; false, for the caller to return.
  bool Failed(const TCommLayer* layer);

  std::unique_ptr<TCommLayer> FSerial;
  std::unique_ptr<TCommLayer> FTcp;
  std::map<std::string, std::string> FDevices;
  std::map<TCommHandle, TOpenLine> FOpen;
  TCommHandle FLastHandle = 0;
  const TCommLayer* FFailing = nullptr;
};

}  // namespace serial
