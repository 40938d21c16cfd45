// The POSIX comm layer against a pseudo-terminal, checked from the kernel's side of the line where the
// component's own answer would prove nothing; and the ways an open must fail.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
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

// COM1 leads to the pseudo-terminal's slave for the life of the test.
struct CommPosix : ::testing::Test {
  testsupport::TPty pty;
  std::unique_ptr<serial::TCommLayer> comm = serial::MakeSystemCommLayer();
  serial::TSerialPort port;

  void SetUp() override {
    ASSERT_TRUE(pty.IsOpen()) << pty.Error();
    ::setenv("LOGCHAMADAS_COM1", pty.SlavePath().c_str(), 1);
    port.SetCommPort(serial::TCommPort::cpCOM1);
  }
  void TearDown() override {
    ::unsetenv("LOGCHAMADAS_COM1");
    ::unsetenv("LOGCHAMADAS_COM8");
  }
};

TEST_F(CommPosix, PortsThatAreNoTerminalDoNotOpen) {
  port.SetCommPort(serial::TCommPort::cpCOM8);
  for (const char* path : {"/nonexistent/tty", "/dev/null", "/"}) {
    SCOPED_TRACE(path);
    ::setenv("LOGCHAMADAS_COM8", path, 1);
    EXPECT_FALSE(port.OpenPort());
    EXPECT_FALSE(port.IsOpen());
  }
  EXPECT_EQ(comm->Open("COM9"), serial::InvalidCommHandle);
}

TEST_F(CommPosix, OpeningMakesTheLineRawAtTheDefaultRate) {
  ASSERT_TRUE(port.OpenPort());
  const termios t = pty.SlaveTermios();
  // No canonical mode, echo, signals or output processing.
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_iflag & (ICRNL | IXON | ISTRIP), 0u);
  EXPECT_EQ(::cfgetospeed(&t), speed_t{B9600});
}

TEST_F(CommPosix, WhatTermiosHasNoPlaceForIsRememberedPerHandle) {
  const TCommHandle handle = comm->Open("COM1");
  ASSERT_NE(handle, serial::InvalidCommHandle);

  TLineSettings line;
  ASSERT_TRUE(comm->GetState(handle, line));
  EXPECT_EQ(line.Flags, 0x1011u);  // binary, DTR and RTS enabled
  EXPECT_EQ(line.ByteSize, 8);

  line.BaudRate = 14400;
  line.StopBits = 2;
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
  EXPECT_NE(pty.SlaveTermios().c_cflag & CSTOPB, 0u);

  // Refused: nothing of the record is taken, not even its rate.
  TLineSettings refused = line;
  refused.BaudRate = 19200;
  refused.ByteSize = 4;
  EXPECT_FALSE(comm->SetState(handle, refused));
  ASSERT_TRUE(comm->GetState(handle, back));
  EXPECT_EQ(back, line);
  EXPECT_TRUE(comm->Close(handle));
}

// Seen from the kernel's side of a real line: a pseudo-terminal keeps the flow-control and input-check
// flags (not parity or data bits, which termios_line_test covers).
TEST_F(CommPosix, FlowControlAndParityCheckingReachTheLine) {
  ASSERT_TRUE(port.OpenPort());
  const struct {
    serial::TFlowControl flow;
    bool checking;
    tcflag_t iflag;
    tcflag_t cflag;
  } cases[] = {
      {serial::TFlowControl::fcXON_XOFF, false, IXON | IXOFF, 0},
      {serial::TFlowControl::fcRTS_CTS, true, INPCK, CRTSCTS},
      {serial::TFlowControl::fsDSR_DTR, false, 0, 0},  // Linux has no DTR/DSR flow control
      {serial::TFlowControl::fcNone, true, INPCK, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.flow));
    port.SetFlowControl(c.flow);
    port.SetParityErrorChecking(c.checking);
    const termios t = pty.SlaveTermios();
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK), c.iflag);
    EXPECT_EQ(t.c_cflag & CRTSCTS, c.cflag);
  }
}

// Another program holding the device with its own lock: flock locks of two separate opens conflict
// even within one process.
TEST_F(CommPosix, APortAnotherProgramHoldsDoesNotOpen) {
  const int holder = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  EXPECT_FALSE(port.OpenPort());
  EXPECT_FALSE(port.IsOpen());
  ::close(holder);
  EXPECT_TRUE(port.OpenPort());
}

// Killed while it held a pseudo-terminal whose master stays open (socat, ser2net), a normal user's
// restart gets the line back (a TIOCEXCL would outlive the process). Run as root, both run as "nobody".
TEST_F(CommPosix, APortAKilledLoggerHeldOpensAgainForANormalUser) {
  const passwd* user = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
  if (::geteuid() == 0 && (user == nullptr || ::chmod(pty.SlavePath().c_str(), 0666) != 0))
    GTEST_SKIP() << "no normal user to run as";
  const auto openAsUser = [&](bool killed) {  // the open's outcome as the exit status
    const pid_t child = ::fork();
    if (child == 0) {
      if (user != nullptr && (::setgid(user->pw_gid) != 0 || ::setuid(user->pw_uid) != 0)) ::_exit(2);
      const bool opened = comm->Open("COM1") != serial::InvalidCommHandle;
      if (opened && killed) ::raise(SIGKILL);
      ::_exit(opened ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
  };
  ASSERT_TRUE(WIFSIGNALED(openAsUser(true)));
  EXPECT_EQ(openAsUser(false), 0);
}

// What the receive cycle reads to tell a lost line: the system's words for each failure, and no line
// error counts from a pseudo-terminal (which offers none) without that being a failure.
TEST_F(CommPosix, FailuresAreWordedAndAPseudoTerminalHasNoErrorCounts) {
  ::setenv("LOGCHAMADAS_COM8", "/nonexistent/tty", 1);
  EXPECT_EQ(comm->Open("COM8"), serial::InvalidCommHandle);
  EXPECT_EQ(comm->LastErrorText(), "No such file or directory");
  EXPECT_EQ(comm->Describe("COM8"), "COM8 (/nonexistent/tty)");

  const TCommHandle handle = comm->Open("COM1");
  ASSERT_NE(handle, serial::InvalidCommHandle);
  serial::TLineErrors counts{1, 2, 3, 4};
  EXPECT_FALSE(comm->LineErrors(handle, counts));
  ASSERT_TRUE(pty.Write("12"));
  std::uint32_t waiting = 0;
  for (int i = 0; i < 100 && waiting < 2; ++i) {
    ::usleep(10000);
    ASSERT_TRUE(comm->ClearError(handle, waiting));
  }
  char buffer[8];
  std::uint32_t read = 0;
  // Asked for more than waits: a short read is no failure.
  EXPECT_TRUE(comm->Read(handle, buffer, sizeof buffer, read));
  EXPECT_EQ(read, 2u);

  pty.CloseMaster();
  EXPECT_FALSE(comm->ClearError(handle, waiting));
  EXPECT_EQ(comm->LastErrorText(), "Input/output error");
  EXPECT_TRUE(comm->Close(handle));
}

TEST_F(CommPosix, CloseTakesOnlyHandlesItOpened) {
  EXPECT_FALSE(comm->Close(serial::InvalidCommHandle));
  EXPECT_FALSE(comm->Close(0));  // standard input is no port of this layer
}

}  // namespace
