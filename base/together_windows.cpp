#include <malloc.h>
#include <windows.h>

#include "base/together.h"

namespace torvanelle {
namespace {

DWORD WINAPI run(LPVOID work) {
  (*static_cast<const std::function<void()>*>(work))();
  return 0;
}

}  // namespace

bool two_cores() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors >= 2;
}

void run_together(const std::function<void()>& first, const std::function<void()>& second) {
  HANDLE other = CreateThread(nullptr, 0, run, const_cast<void*>(static_cast<const void*>(&first)),
                              0, nullptr);
  if (other == nullptr) {
    first();
    second();
    return;
  }
  second();
  WaitForSingleObject(other, INFINITE);
  CloseHandle(other);
}

void pause_briefly() { SwitchToThread(); }

void give_back_freed_memory() { _heapmin(); }

}  // namespace torvanelle
