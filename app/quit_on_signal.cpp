#include "app/quit_on_signal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <QCoreApplication>
#include <QSocketNotifier>

namespace {

int wakeFds[2] = {-1, -1}; // written by the handler, read on the Qt thread

void OnSignal(int signo) {
  const int saved = errno;
  const char byte = static_cast<char>(signo);
  [[maybe_unused]] ssize_t n = ::write(wakeFds[1], &byte, 1);
  errno = saved;
}

} // namespace

void QuitOnSignals() {
  if (wakeFds[0] >= 0 || ::pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(), [] {
    char bytes[16];
    while (::read(wakeFds[0], bytes, sizeof bytes) > 0) {
    }
    QCoreApplication::quit();
  });
  struct sigaction action {};
  action.sa_handler = &OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}
