// The POSIX comm layer against a pseudo-terminal, checked from the kernel's side of the line where the
// component's own answer would prove nothing; and the ways an open must fail.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

#include "comm.h"
#include "ptypair.h"
#include "serialport.h"

namespace {

using serial::TCommHandle;
using serial::TLineSettings;

// Points LOGCHAMADAS_<port> at a path for the life of the object.
class TRedirect {
 public:
  TRedirect(const char* port, const std::string& path) : FVariable(std::string("LOGCHAMADAS_") + port) {
    ::setenv(FVariable.c_str(), path.c_str(), 1);
  }
  ~TRedirect() { ::unsetenv(FVariable.c_str()); }

 private:
  std::string FVariable;
};

struct CommPosix : ::testing::Test {
  testsupport::TPty pty;
  std::unique_ptr<serial::TCommLayer> comm = serial::MakeSystemCommLayer();
  void SetUp() override { ASSERT_TRUE(pty.IsOpen()) << pty.Error(); }
};

TEST_F(CommPosix, PortsThatAreNoTerminalDoNotOpen) {
  const std::vector<std::string> paths = {"/nonexistent/tty", "/dev/null", "/"};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    TRedirect redirect("COM8", path);
    serial::TSerialPort port;
    port.SetCommPort(serial::TCommPort::cpCOM8);
    EXPECT_FALSE(port.OpenPort());
    EXPECT_FALSE(port.IsOpen());
  }
  EXPECT_EQ(comm->Open("COM9"), serial::InvalidCommHandle);
}

TEST_F(CommPosix, OpeningMakesTheLineRawAndSettingsReachTheKernel) {
  TRedirect redirect("COM1", pty.SlavePath());
  serial::TSerialPort port;
  port.SetCommPort(serial::TCommPort::cpCOM1);
  ASSERT_TRUE(port.OpenPort());
  EXPECT_TRUE(pty.SlaveIsRaw());
  EXPECT_EQ(pty.SlaveOutputSpeed(), unsigned{B9600});

  port.SetBaudRate(serial::TBaudRate::br38400);
  port.SetStopBits(serial::TStopBits::sbTwo);
  port.SetXONChar('A');
  port.SetXOFFChar('B');
  EXPECT_EQ(pty.SlaveOutputSpeed(), unsigned{B38400});
  EXPECT_TRUE(pty.SlaveHasTwoStopBits());
  EXPECT_EQ(pty.SlaveControlChar(VSTART), 'A');
  EXPECT_EQ(pty.SlaveControlChar(VSTOP), 'B');
}

TEST_F(CommPosix, WhatTermiosHasNoPlaceForIsRememberedPerHandle) {
  TRedirect redirect("COM1", pty.SlavePath());
  const TCommHandle handle = comm->Open("COM1");
  ASSERT_NE(handle, serial::InvalidCommHandle);

  TLineSettings fresh;
  ASSERT_TRUE(comm->GetState(handle, fresh));
  EXPECT_EQ(fresh.Flags, 0x1011u);  // binary, DTR and RTS enabled
  EXPECT_EQ(fresh.ByteSize, 8);

  TLineSettings line = fresh;
  line.BaudRate = 14400;
  line.StopBits = 1;  // one and a half: CSTOPB on the line, the half remembered
  line.XonLim = 100;
  line.XoffLim = 300;
  line.ErrorChar = '?';
  line.EofChar = 0x1A;
  line.EvtChar = '\n';
  line.Flags |= serial::commflag::Null | serial::commflag::OutX | serial::commflag::InX;
  ASSERT_TRUE(comm->SetState(handle, line));
  TLineSettings back;
  ASSERT_TRUE(comm->GetState(handle, back));
  EXPECT_EQ(back, line);
  EXPECT_TRUE(pty.SlaveHasTwoStopBits());

  // Refused: nothing of the record is taken, not even its rate.
  TLineSettings refused = line;
  refused.BaudRate = 19200;
  refused.ByteSize = 4;
  EXPECT_FALSE(comm->SetState(handle, refused));
  ASSERT_TRUE(comm->GetState(handle, back));
  EXPECT_EQ(back, line);
  EXPECT_TRUE(comm->Close(handle));
}

TEST_F(CommPosix, AVanishedFarSideMakesTheQueueUnreadable) {
  TRedirect redirect("COM1", pty.SlavePath());
  const TCommHandle handle = comm->Open("COM1");
  ASSERT_NE(handle, serial::InvalidCommHandle);
  pty.CloseMaster();
  std::uint32_t waiting = 7;
  EXPECT_FALSE(comm->ClearError(handle, waiting));
  char buffer[4];
  std::uint32_t got = 9;
  EXPECT_FALSE(comm->Read(handle, buffer, sizeof buffer, got));
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(comm->Close(handle));
}

// Another program holding the device with its own lock, here a child process.
TEST_F(CommPosix, APortAnotherProcessHoldsDoesNotOpen) {
  TRedirect redirect("COM1", pty.SlavePath());
  int locked[2];
  int release[2];
  ASSERT_EQ(::pipe(locked), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    const char ok = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
    char go = 0;
    const bool handshake = ::write(locked[1], &ok, 1) == 1 && ::read(release[0], &go, 1) == 1;
    ::_exit(handshake ? 0 : 1);
  }
  char ok = 0;
  ASSERT_EQ(::read(locked[0], &ok, 1), 1);
  ASSERT_EQ(ok, 'y');

  serial::TSerialPort port;
  port.SetCommPort(serial::TCommPort::cpCOM1);
  EXPECT_FALSE(port.OpenPort());
  EXPECT_FALSE(port.IsOpen());

  ASSERT_EQ(::write(release[1], "x", 1), 1);
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0);
  for (int fd : {locked[0], locked[1], release[0], release[1]}) ::close(fd);
  EXPECT_TRUE(port.OpenPort());
}

TEST_F(CommPosix, CloseTakesOnlyHandlesItOpened) {
  EXPECT_FALSE(comm->Close(serial::InvalidCommHandle));
  EXPECT_FALSE(comm->Close(0));  // standard input is no port of this layer
}

}  // namespace
