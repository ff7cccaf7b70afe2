// What a run undoes when a signal ends it early (Ctrl-C, a closed terminal, kill, a console that
// was closed under it): the files it had only begun are removed and the terminal is put back.
//
// Only what is registered here is undone, by the handler itself, with async-signal-safe calls.
// The process then ends by the same signal, so that the shell reports 128 + its number.
#pragma once

#include <string>

namespace torvanelle {

/// Installs the handler for SIGHUP, SIGINT, SIGPIPE, SIGQUIT and SIGTERM (on Windows: SIGINT,
/// SIGTERM and SIGBREAK). A signal that the process was started with ignored (a run under
/// nohup, a background job) stays ignored. Installing again changes nothing.
void catch_interrupts();

/// Has the handler remove the file `path` (a host path). Returns a ticket for forget_file, or
/// -1 when every place is taken (the file is then not removed on a signal).
int remove_on_interrupt(const std::string& path);

/// Has the handler remove the folder `path` (a host path) and the files in it (not folders).
/// Returns a ticket for forget_file, or -1 when every place is taken.
int remove_folder_on_interrupt(const std::string& path);

/// The file or folder of `ticket` is no longer the handler's to remove (it is complete, or gone).
void forget_file(int ticket);

/// Has the handler call `undo` first, until it is replaced; null calls nothing. `undo` must
/// make only async-signal-safe calls (the key wait puts the terminal back with it).
void call_on_interrupt(void (*undo)());

/// From now on the signals above are ignored, those already waiting in a hold included: the
/// run's result is in place, and a signal that comes now must not report it as lost. Call it
/// inside an InterruptsHeld.
void ignore_interrupts();

/// While one exists, the signals above wait: what is done meanwhile is done whole. (On Windows
/// the handler, which runs on a thread of its own, waits; the thread that holds must not raise
/// one of the signals itself.)
class InterruptsHeld {
 public:
  InterruptsHeld();
  ~InterruptsHeld();
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};

}  // namespace torvanelle
