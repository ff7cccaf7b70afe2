// The host system's calls of host.h on Windows.
#include "io/host.h"

#include <cerrno>
#include <cstring>

#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>

namespace torvanelle {

namespace {

/// The errno value for a failed file call's GetLastError().
int errno_of(DWORD error) {
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return EEXIST;
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return ENOENT;
  return EACCES;
}

}  // namespace

std::FILE* create_new(const std::string& path, const char* mode) {
  // Shared for deletion, so that the signal handler can remove the file while the run has it
  // open (the name goes at once, the data with the last handle): Windows refuses to remove a
  // file opened the C library's way.
  const HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                               nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    errno = errno_of(GetLastError());
    return nullptr;
  }
  const int text_or_binary = std::strchr(mode, 'b') != nullptr ? _O_BINARY : _O_TEXT;
  const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(h), _O_WRONLY | text_or_binary);
  if (fd < 0) {
    CloseHandle(h);
    return nullptr;
  }
  std::FILE* f = _fdopen(fd, mode);
  if (f == nullptr) _close(fd);
  return f;
}

bool flush_to_disk(std::FILE* f) {
  if (std::fflush(f) != 0) return false;
  // A console or a pipe has no disk to reach. (_commit reports any failure as EBADF, a disk
  // that fails to take the data too: the kind of file is asked first.)
  const int fd = _fileno(f);
  if (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) != FILE_TYPE_DISK) return true;
  return _commit(fd) == 0;
}

bool replace_with(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool rename_new(const std::string& from, const std::string& to) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0) return true;
  errno = errno_of(GetLastError());
  return false;
}

void sync_folder_of(const std::string& /*file*/) {
  // MOVEFILE_WRITE_THROUGH has already waited for the new names to reach the disk.
}

FileLock::FileLock(const std::string& path) : path_(path) {
  // A file opened without sharing is the lock; it goes away with the last handle, also when its
  // holder dies. Access is refused for a moment while a former holder's file is being deleted,
  // and for good in a folder that cannot be written: the wait for that case is bounded.
  for (int refused = 0; refused < 500;) {
    const HANDLE h =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      handle_ = reinterpret_cast<std::intptr_t>(h);
      held_ = true;
      return;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) {
      ++refused;
    } else if (error != ERROR_SHARING_VIOLATION) {
      return;
    }
    Sleep(10);
  }
}

FileLock::~FileLock() {
  if (held_) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

// The folder held open without FILE_SHARE_DELETE: while its holder lives, nobody can open it
// with no sharing at all, which is the test of unclaimed(); the handle goes with the process.
FolderClaim::FolderClaim(const std::string& path) {
  const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h != INVALID_HANDLE_VALUE) handle_ = reinterpret_cast<std::intptr_t>(h);
}

FolderClaim::~FolderClaim() { release(); }

void FolderClaim::release() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

bool unclaimed(const std::string& path) {
  const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

long process_id() { return _getpid(); }

std::uint64_t physical_memory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) != 0 ? status.ullTotalPhys : 0;
}

}  // namespace torvanelle
