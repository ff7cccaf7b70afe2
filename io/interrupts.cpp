#include "io/interrupts.h"

#include <cstring>

#include "io/interrupts_table.h"

namespace torvanelle {

namespace interrupts {

char paths[places][path_bytes];
volatile std::sig_atomic_t kinds[places];

namespace {
void (*volatile undo_first)() = nullptr;
}  // namespace

void undo_registered() {
  if (void (*undo)() = undo_first) undo();
  for (int i = 0; i < places; ++i) {
    if (kinds[i] == file_place) erase_file(paths[i]);
    if (kinds[i] == folder_place) erase_folder(paths[i]);
  }
}

namespace {

int take_place(const std::string& path, Kind kind) {
  if (path.size() >= path_bytes) return -1;
  for (int i = 0; i < places; ++i) {
    if (kinds[i] != free_place) continue;
    std::memcpy(paths[i], path.c_str(), path.size() + 1);
    kinds[i] = kind;
    return i;
  }
  return -1;
}

}  // namespace

void set_undo(void (*undo)()) { undo_first = undo; }

}  // namespace interrupts

int remove_on_interrupt(const std::string& path) {
  return interrupts::take_place(path, interrupts::file_place);
}

int remove_folder_on_interrupt(const std::string& path) {
  return interrupts::take_place(path, interrupts::folder_place);
}

void forget_file(int ticket) {
  if (ticket >= 0 && ticket < interrupts::places)
    interrupts::kinds[ticket] = interrupts::free_place;
}

void call_on_interrupt(void (*undo)()) { interrupts::set_undo(undo); }

}  // namespace torvanelle
