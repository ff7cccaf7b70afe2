// The interrupts on a POSIX host: sigaction, a signal mask for the holds, and the files removed
// with unlink from the handler itself.
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "io/interrupts.h"
#include "io/interrupts_table.h"

namespace torvanelle {
namespace {

constexpr int caught_signals[] = {SIGHUP, SIGINT, SIGPIPE, SIGQUIT, SIGTERM};

extern "C" void on_interrupt(int sig) {
  interrupts::undo_registered();
  // Ends the process as the signal would have without the handler: the parent sees the signal.
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

int holders = 0;  // only the outermost holder blocks and unblocks
sigset_t mask_before;

}  // namespace

namespace interrupts {

void erase_file(const char* path) { unlink(path); }

// A scratch folder holds a few files and no folder. Listing it with getdents64, the system
// call under readdir, keeps to calls that are safe in a signal handler (readdir allocates).
// Entries removed while the folder is read may hide others from that reading: it is read again
// until a reading removes nothing.
void erase_folder(const char* path) {
  const int dir = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  alignas(8) char entries[4096];
  for (int reading = 0; reading < 64; ++reading) {
    bool removed = false;
    lseek(dir, 0, SEEK_SET);
    for (long n; (n = syscall(SYS_getdents64, dir, entries, sizeof entries)) > 0;) {
      for (long at = 0; at < n;) {
        // struct linux_dirent64: inode (8), offset (8), record length (2), type (1), name.
        unsigned short length;
        std::memcpy(&length, entries + at + 16, sizeof length);
        const char* name = entries + at + 19;
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
          removed |= unlinkat(dir, name, 0) == 0;
        at += length;
      }
    }
    if (!removed) break;
  }
  close(dir);
  rmdir(path);
}

}  // namespace interrupts

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

// A signal set to be ignored while it waits in a hold is dropped.
void ignore_interrupts() {
  for (const int sig : caught_signals)
    std::signal(sig, SIG_IGN);
}

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

}  // namespace torvanelle
