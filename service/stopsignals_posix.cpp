#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "stopsignals.h"

namespace window {

namespace {

// Written by the handler, read by the notifier: a handler may do little more than write().
int SignalPipe[2] = {-1, -1};

constexpr int StopSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Set by the first stop signal. Lock-free, so a handler may touch it.
std::atomic<bool> Stopping = false;

void Forward(int signal) {
  const int saved = errno;
  // Once: whichever stop signal comes next ends the program at once, as its default would; also one
  // that another thread took before the dispositions below were reset.
  struct sigaction byDefault = {};
  byDefault.sa_handler = SIG_DFL;
  sigemptyset(&byDefault.sa_mask);
  for (const int stop : StopSignals) ::sigaction(stop, &byDefault, nullptr);
  if (Stopping.exchange(true)) {
    ::raise(signal);  // delivered, by default, once this handler returns
    return;
  }
  const unsigned char number = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t written = ::write(SignalPipe[0], &number, 1);
  errno = saved;
}

QString SignalName(int signal) {
  switch (signal) {
    case SIGTERM:
      return QStringLiteral("SIGTERM");
    case SIGINT:
      return QStringLiteral("SIGINT");
    case SIGHUP:
      return QStringLiteral("SIGHUP");
    default:
      return QStringLiteral("sinal %1").arg(signal);
  }
}

}  // namespace

void OnStopSignal(QObject& context, std::function<void(const QString& signal)> stop) {
  if (SignalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, SignalPipe) != 0) {
    qWarning("sinais de fim não tratados: %s", std::strerror(errno));
    return;
  }
  auto* notifier = new QSocketNotifier(SignalPipe[1], QSocketNotifier::Read, &context);
  QObject::connect(notifier, &QSocketNotifier::activated, &context, [stop = std::move(stop)] {
    unsigned char number = 0;
    while (::read(SignalPipe[1], &number, 1) == 1) stop(SignalName(number));
  });
  struct sigaction action = {};
  action.sa_handler = Forward;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : StopSignals) ::sigaction(signal, &action, nullptr);
}

void IgnoreBrokenPipe() {
  ::signal(SIGPIPE, SIG_IGN);
}

}  // namespace window
