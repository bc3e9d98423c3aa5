#pragma once
// A pseudo-terminal in raw mode for the tests that use a real serial device:
// the console opens slaveName; the test reads and writes master directly,
// or leaves it unread (a controller that is switched off), or closes it (a
// line that hangs up; set master to -1 then).
#include <QString>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace calorix::testing {

struct Pty {
  Pty() {
    char name[128] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) == 0) {
      slaveName = QString::fromLocal8Bit(name);
      termios t{};
      tcgetattr(slave, &t);
      cfmakeraw(&t);
      tcsetattr(slave, TCSANOW, &t);
    }
  }
  ~Pty() {
    if (slave >= 0) ::close(slave);
    if (master >= 0) ::close(master);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;
  int master = -1;
  int slave = -1;
  QString slaveName;
};

}  // namespace calorix::testing
