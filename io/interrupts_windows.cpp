// The interrupts on Windows: the C runtime's signal(), whose console handler Windows runs on a
// thread of its own while the program goes on, and a lock that the holds keep.
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <stdlib.h>
#include <windows.h>

#include <csignal>
#include <string>

#include "io/interrupts.h"
#include "io/interrupts_table.h"

namespace torvanelle {
namespace {

constexpr int caught_signals[] = {SIGINT, SIGTERM, SIGBREAK};

// The handler waits for this lock, which InterruptsHeld keeps.
SRWLOCK held_lock = SRWLOCK_INIT;
int holders = 0;  // only the outermost holder takes and lets go of the lock

// Set once the run's result is in place: a handler already waiting in a hold then ends no
// process.
volatile LONG ignoring = 0;

extern "C" void on_interrupt(int sig) {
  AcquireSRWLockExclusive(&held_lock);  // never released, unless ignored: the process ends below
  if (ignoring != 0) {
    ReleaseSRWLockExclusive(&held_lock);
    return;
  }
  interrupts::undo_registered();
  _exit(128 + sig);
}

}  // namespace

namespace interrupts {

void erase_file(const char* path) { _unlink(path); }

// The handler runs on a thread of its own here, where any call may be made.
void erase_folder(const char* path) {
  const std::string folder = path;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != "..") DeleteFileA((folder + "\\" + name).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path);
}

}  // namespace interrupts

void catch_interrupts() {
  for (const int sig : caught_signals) {
    if (std::signal(sig, on_interrupt) == SIG_IGN) std::signal(sig, SIG_IGN);
  }
}

// A signal set to be ignored while it waits in a hold is dropped.
void ignore_interrupts() {
  ignoring = 1;
  for (const int sig : caught_signals)
    std::signal(sig, SIG_IGN);
}

InterruptsHeld::InterruptsHeld() {
  if (holders++ == 0) AcquireSRWLockExclusive(&held_lock);
}

InterruptsHeld::~InterruptsHeld() {
  if (--holders == 0) ReleaseSRWLockExclusive(&held_lock);
}

}  // namespace torvanelle
