#include "io/keywait.h"

#ifdef _WIN32
#include <conio.h>
#else
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <iterator>
#endif

namespace torvanelle {

#ifdef _WIN32

void wait_for_key() { _getch(); }

#else

namespace {

// What a signal handler needs to put the terminal back; set only while a wait is under way.
int tty_fd = -1;
termios saved_settings;

constexpr int caught_signals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};
struct sigaction previous_actions[std::size(caught_signals)];

/// Restores the terminal, then lets the signal do what it would have done without the wait.
extern "C" void restore_and_reraise(int sig) {
  tcsetattr(tty_fd, TCSANOW, &saved_settings);
  signal(sig, SIG_DFL);
  raise(sig);
}

void catch_signals() {
  struct sigaction action {};
  action.sa_handler = restore_and_reraise;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(caught_signals); ++i)
    sigaction(caught_signals[i], &action, &previous_actions[i]);
}

void release_signals() {
  for (std::size_t i = 0; i < std::size(caught_signals); ++i)
    sigaction(caught_signals[i], &previous_actions[i], nullptr);
}

/// One byte from the terminal, retried when a signal that does not end the process interrupts.
void read_one_key(int fd) {
  char key = 0;
  while (read(fd, &key, 1) < 0 && errno == EINTR) {
  }
}

}  // namespace

void wait_for_key() {
  tty_fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (tty_fd < 0) return;  // no controlling terminal
  if (tcgetattr(tty_fd, &saved_settings) == 0) {
    termios raw = saved_settings;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    catch_signals();
    // TCSAFLUSH drops what was typed before the wait: only a key pressed now ends it.
    if (tcsetattr(tty_fd, TCSAFLUSH, &raw) == 0) read_one_key(tty_fd);
    tcsetattr(tty_fd, TCSANOW, &saved_settings);
    release_signals();
  }
  close(tty_fd);
  tty_fd = -1;
}

#endif

}  // namespace torvanelle
