#include "io/interrupts.h"

#include <csignal>
#include <cstring>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <stdlib.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace torvanelle {
namespace {

#ifdef _WIN32
constexpr int caught_signals[] = {SIGINT, SIGTERM, SIGBREAK};
#else
constexpr int caught_signals[] = {SIGHUP, SIGINT, SIGPIPE, SIGQUIT, SIGTERM};
#endif

// The files to remove, each a NUL-terminated path written before its flag is raised, so that
// the handler reads only whole paths. A run has three such files at most at any time.
constexpr int places = 8;
constexpr std::size_t path_bytes = 4096;
char paths[places][path_bytes];
volatile std::sig_atomic_t in_use[places];

void (*volatile undo_first)() = nullptr;

#ifdef _WIN32
// Windows calls a console's Ctrl-C and Ctrl-Break handler on a thread of its own, while the run
// goes on: the handler waits for this lock, which InterruptsHeld keeps.
SRWLOCK held_lock = SRWLOCK_INIT;
#endif

extern "C" void on_interrupt(int sig) {
#ifdef _WIN32
  AcquireSRWLockExclusive(&held_lock);  // never released: the process ends below
#endif
  if (void (*undo)() = undo_first) undo();
  for (int i = 0; i < places; ++i) {
#ifdef _WIN32
    if (in_use[i]) _unlink(paths[i]);
#else
    if (in_use[i]) unlink(paths[i]);
#endif
  }
#ifdef _WIN32
  _exit(128 + sig);
#else
  // Ends the process as the signal would have without the handler: the parent sees the signal.
  std::signal(sig, SIG_DFL);
  std::raise(sig);
#endif
}

}  // namespace

#ifdef _WIN32

void catch_interrupts() {
  for (const int sig : caught_signals) {
    if (std::signal(sig, on_interrupt) == SIG_IGN) std::signal(sig, SIG_IGN);
  }
}

namespace {
int holders = 0;  // only the outermost holder takes and lets go of the lock
}  // namespace

InterruptsHeld::InterruptsHeld() {
  if (holders++ == 0) AcquireSRWLockExclusive(&held_lock);
}

InterruptsHeld::~InterruptsHeld() {
  if (--holders == 0) ReleaseSRWLockExclusive(&held_lock);
}

#else

void catch_interrupts() {
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  // While the handler removes files, the other signals wait.
  for (const int sig : caught_signals)
    sigaddset(&action.sa_mask, sig);
  for (const int sig : caught_signals) {
    struct sigaction before {};
    sigaction(sig, nullptr, &before);
    if (before.sa_handler != SIG_IGN) sigaction(sig, &action, nullptr);
  }
}

namespace {
int holders = 0;  // only the outermost holder blocks and unblocks
sigset_t mask_before;
}  // namespace

InterruptsHeld::InterruptsHeld() {
  if (holders++ > 0) return;
  sigset_t held;
  sigemptyset(&held);
  for (const int sig : caught_signals)
    sigaddset(&held, sig);
  sigprocmask(SIG_BLOCK, &held, &mask_before);
}

InterruptsHeld::~InterruptsHeld() {
  if (--holders == 0) sigprocmask(SIG_SETMASK, &mask_before, nullptr);
}

#endif

int remove_on_interrupt(const std::string& path) {
  if (path.size() >= path_bytes) return -1;
  for (int i = 0; i < places; ++i) {
    if (in_use[i]) continue;
    std::memcpy(paths[i], path.c_str(), path.size() + 1);
    in_use[i] = 1;
    return i;
  }
  return -1;
}

void forget_file(int ticket) {
  if (ticket >= 0 && ticket < places) in_use[ticket] = 0;
}

void call_on_interrupt(void (*undo)()) { undo_first = undo; }

}  // namespace torvanelle
