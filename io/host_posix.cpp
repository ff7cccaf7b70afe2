// The host system's calls of host.h on POSIX systems.
#include "io/host.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace torvanelle {

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

// flock() on the folder itself: the lock is the open file description's, so it ends with the
// process, and a try from another process fails while the holder lives.
FolderClaim::FolderClaim(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return;
  }
  handle_ = fd;
}

FolderClaim::~FolderClaim() { release(); }

void FolderClaim::release() {
  if (handle_ != -1) close(static_cast<int>(handle_));
  handle_ = -1;
}

bool unclaimed(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
  close(fd);
  return free;
}

long process_id() { return static_cast<long>(getpid()); }

std::uint64_t physical_memory() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
}

}  // namespace torvanelle
