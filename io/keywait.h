// The wait for one key press that holds a last message on screen before the program ends,
// written once for POSIX systems (keywait_posix.cpp) and once for Windows (keywait_windows.cpp).
#pragma once

namespace torvanelle {

/// Waits for one key pressed on the controlling terminal itself, never read from standard
/// input: keys typed before the wait began do not count, the key is not echoed and is
/// discarded. The terminal's settings are restored afterwards, also when a signal of
/// interrupts.h ends the process during the wait, and while Ctrl-Z has it stopped (after fg
/// the wait goes on in its own mode). Without a controlling terminal (a detached process, CI,
/// cron) there is nothing to wait on and it returns at once. On Windows the key is read from
/// the console's keyboard (_getch), and a process without a console returns at once.
void wait_for_key();

}  // namespace torvanelle
