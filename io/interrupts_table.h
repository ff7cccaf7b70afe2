// What io/interrupts.cpp shares with its per-platform halves: the places where files and
// folders to remove on a signal are registered, and what each platform gives to remove them.
// Only the interrupts' own files include it.
#pragma once

#include <csignal>
#include <cstddef>

namespace torvanelle::interrupts {

// Each place holds a NUL-terminated path, written before its kind is set, so that the handler
// reads only whole paths. A run has three such files at most at any time; a tool a few folders.
inline constexpr int places = 8;
inline constexpr std::size_t path_bytes = 4096;

enum Kind : int { free_place = 0, file_place = 1, folder_place = 2 };

extern char paths[places][path_bytes];
extern volatile std::sig_atomic_t kinds[places];

/// Sets the function undo_registered calls first.
void set_undo(void (*undo)());

/// Calls the undo function and removes every registered file and folder: the handler's work,
/// with async-signal-safe calls only.
void undo_registered();

/// Removes the file `path`; async-signal-safe. (Per platform.)
void erase_file(const char* path);
/// Removes the files in the folder `path`, then the folder; async-signal-safe. (Per platform.)
void erase_folder(const char* path);

}  // namespace torvanelle::interrupts
