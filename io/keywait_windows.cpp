// The key wait of keywait.h on Windows: the console's keyboard.
#include "io/keywait.h"

#define WIN32_LEAN_AND_MEAN
#include <conio.h>
#include <windows.h>

namespace torvanelle {

void wait_for_key() {
  // The console's own keyboard, as /dev/tty is on POSIX systems: a process without a console (a
  // service, a detached or CI run) cannot open it and has nothing to wait on.
  const HANDLE keyboard =
      CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (keyboard == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  const bool console = GetConsoleMode(keyboard, &mode) != 0;
  // Only a key pressed now ends the wait, not one typed before it began.
  if (console) FlushConsoleInputBuffer(keyboard);
  CloseHandle(keyboard);
  if (console) _getch();
}

}  // namespace torvanelle
