#include "io/host.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace torvanelle {
#ifdef _WIN32

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

long process_id() { return _getpid(); }

std::uint64_t physical_memory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) != 0 ? status.ullTotalPhys : 0;
}

#else

std::FILE* create_new(const std::string& path, const char* mode) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* f = fdopen(fd, mode);
  if (f == nullptr) close(fd);
  return f;
}

bool flush_to_disk(std::FILE* f) {
  if (std::fflush(f) != 0) return false;
  // A pipe or a device such as /dev/null has no disk to reach.
  return fsync(fileno(f)) == 0 || errno == EINVAL || errno == EROFS;
}

bool replace_with(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool rename_new(const std::string& from, const std::string& to) {
  // A second name made only where none exists, then the first removed.
  if (link(from.c_str(), to.c_str()) == 0) {
    unlink(from.c_str());
    return true;
  }
  if (errno == EEXIST) return false;
  // A file system without hard links: look, then rename. Another process could put a file
  // there in between; none of this program's runs does, as they all create files this way.
  struct stat there {};
  if (lstat(to.c_str(), &there) == 0) {
    errno = EEXIST;
    return false;
  }
  return std::rename(from.c_str(), to.c_str()) == 0;
}

namespace {

/// The folder part of `file`, "." when it has none.
std::string folder_of(const std::string& file) {
  const std::size_t slash = file.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : file.substr(0, slash);
}

}  // namespace

void sync_folder_of(const std::string& file) {
  const int fd = open(folder_of(file).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

FileLock::FileLock(const std::string& path) : path_(path) {
  for (;;) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return;
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    int locked = 0;
    while ((locked = fcntl(fd, F_SETLKW, &whole)) < 0 && errno == EINTR) {
    }
    // The holder before us removes the file as it lets go: a lock on a file that no longer has
    // the name locks nothing, so it is taken again on the file the name now gives.
    struct stat mine {};
    struct stat named {};
    if (locked == 0 && fstat(fd, &mine) == 0 && stat(path.c_str(), &named) == 0 &&
        mine.st_dev == named.st_dev && mine.st_ino == named.st_ino) {
      handle_ = fd;
      held_ = true;
      return;
    }
    close(fd);
    if (locked != 0) return;
  }
}

FileLock::~FileLock() {
  if (!held_) return;
  unlink(path_.c_str());
  close(static_cast<int>(handle_));
}

long process_id() { return static_cast<long>(getpid()); }

std::uint64_t physical_memory() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
}

#endif

}  // namespace torvanelle
