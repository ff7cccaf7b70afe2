// What the program asks of the host system beyond standard C++: files created only where none
// exists, data pushed to the disk, files put in place under another name, a lock between
// processes, and the size of the machine's memory. Each is written once for POSIX systems, in
// host_posix.cpp, and once for Windows, in host_windows.cpp; the build takes one of them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace torvanelle {

/// Opens `path` for writing with `mode` ("w" or "wb") only if no file of that name exists, not
/// even a dangling link: null otherwise, with errno set (EEXIST when something is there).
std::FILE* create_new(const std::string& path, const char* mode);

/// Writes what `f` holds in its buffer and waits until the system has it on the disk. False
/// when either fails; a file that cannot be synced by its nature (a pipe, a device) counts as
/// synced.
bool flush_to_disk(std::FILE* f);

/// Gives the file `from` the name `to`, replacing any file of that name at once: a process
/// opening `to` sees the old file or the new one, never neither. Both lie in one folder.
bool replace_with(const std::string& from, const std::string& to);

/// Gives the file `from` the name `to` only if no file has that name; false (errno EEXIST)
/// otherwise, `from` then keeping its name.
bool rename_new(const std::string& from, const std::string& to);

/// Has the system write the folder holding `file` to the disk, so that the names put in place
/// there survive a power cut. Does nothing where folders cannot be synced.
void sync_folder_of(const std::string& file);

/// A lock between processes on the name `path`: the constructor waits until no other process
/// holds it. The lock file is created for the purpose and removed by the holder when it lets
/// go; a holder that dies lets go too, and the next one removes the file it left.
class FileLock {
 public:
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  /// False when the lock could not be had (the folder is not writable): the caller goes on
  /// without it.
  bool held() const { return held_; }

 private:
  std::string path_;
  bool held_ = false;
  std::intptr_t handle_ = -1;  ///< a file descriptor, or a Windows HANDLE
};

/// Marks the folder `path` as this process's own for as long as the object lives, so that
/// another process can tell a folder in use from one left by a process that died (killed, a
/// power cut): the claim goes with its holder however it ends.
class FolderClaim {
 public:
  explicit FolderClaim(const std::string& path);
  ~FolderClaim();
  FolderClaim(const FolderClaim&) = delete;
  FolderClaim& operator=(const FolderClaim&) = delete;

  /// False when the folder could not be claimed (it is gone).
  bool held() const { return handle_ != -1; }
  /// Lets go of the claim before the object ends (the folder may then be removed on Windows).
  void release();

 private:
  std::intptr_t handle_ = -1;  ///< a file descriptor, or a Windows HANDLE
};

/// Whether no live process holds a FolderClaim on the folder `path`: a folder a process that
/// died had claimed, or one never claimed. False when `path` cannot be opened.
bool unclaimed(const std::string& path);

/// This process's number, to make names that no other running process uses.
long process_id();

/// The machine's physical memory in bytes; 0 when the system does not tell.
std::uint64_t physical_memory();

}  // namespace torvanelle
