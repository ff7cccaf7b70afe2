// The key wait of keywait.h on POSIX systems: the controlling terminal, /dev/tty.
#include "io/keywait.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "io/interrupts.h"

namespace torvanelle {

namespace {

// What the signal handlers need to put the terminal back; set only while a wait is under way.
int tty_fd = -1;
termios saved_settings;
termios key_settings;

extern "C" void put_terminal_back() { tcsetattr(tty_fd, TCSANOW, &saved_settings); }

/// Ctrl-Z during the wait: the terminal goes back to the shell as it was, the process stops as
/// it would have without the wait, and once continued (fg) the wait takes up its mode again.
extern "C" void stop_then_resume(int /*sig*/) {
  const int saved_errno = errno;
  put_terminal_back();
  struct sigaction ours {};
  sigaction(SIGTSTP, nullptr, &ours);
  signal(SIGTSTP, SIG_DFL);
  raise(SIGTSTP);  // pending while this handler blocks it
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);  // the process stops here until it is continued
  sigprocmask(SIG_BLOCK, &stop, nullptr);
  sigaction(SIGTSTP, &ours, nullptr);
  tcsetattr(tty_fd, TCSANOW, &key_settings);
  errno = saved_errno;
}

/// One byte from the terminal, retried when a signal that does not end the process interrupts.
void read_one_key(int fd) {
  char key = 0;
  while (read(fd, &key, 1) < 0 && errno == EINTR) {
  }
}

/// The key wait's mode: no line editing, no echo, one byte at a time.
termios key_mode(const termios& settings) {
  termios raw = settings;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  return raw;
}

}  // namespace

void wait_for_key() {
  tty_fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (tty_fd < 0) return;  // no controlling terminal
  if (tcgetattr(tty_fd, &saved_settings) == 0) {
    key_settings = key_mode(saved_settings);
    // A signal that ends the process puts the terminal back first.
    catch_interrupts();
    call_on_interrupt(put_terminal_back);
    struct sigaction stop {};
    stop.sa_handler = stop_then_resume;
    sigemptyset(&stop.sa_mask);
    struct sigaction before_stop {};
    sigaction(SIGTSTP, nullptr, &before_stop);
    const bool stops = before_stop.sa_handler != SIG_IGN;
    if (stops) sigaction(SIGTSTP, &stop, nullptr);
    // TCSAFLUSH drops what was typed before the wait: only a key pressed now ends it.
    if (tcsetattr(tty_fd, TCSAFLUSH, &key_settings) == 0) read_one_key(tty_fd);
    put_terminal_back();
    if (stops) sigaction(SIGTSTP, &before_stop, nullptr);
    call_on_interrupt(nullptr);
  }
  close(tty_fd);
  tty_fd = -1;
}

}  // namespace torvanelle
