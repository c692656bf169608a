// Directory enumeration over directory descriptors: walking never changes
// the process's current directory and never follows a symbolic link into
// a directory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace plat {

enum class EntryType { Directory, Regular, Symlink, Other };

struct DirEntry {
  std::string name;
  EntryType type = EntryType::Other;  // as lstat sees it (links are not followed)
  std::uint64_t device = 0;           // st_dev, for staying on one file system
  std::uint64_t size = 0;
};

class Directory {
 public:
  // Opens a directory by path (no symlink following at the last component);
  // nullptr when it cannot be opened.
  static std::unique_ptr<Directory> Open(const std::string& path);
  // Opens subdirectory `name` of this directory (O_NOFOLLOW); nullptr on failure.
  std::unique_ptr<Directory> OpenChild(const std::string& name) const;
  ~Directory();
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;
  // The next entry other than "." and ".."; false at the end.
  bool Next(DirEntry& entry);
  // The next entry other than "." and "..", typed from the directory entry
  // itself where the file system reports it (no stat per entry; falls back to
  // lstat when it does not). `device` and `size` are left 0: a walk that
  // must stay on one file system compares the opened child's Device().
  bool NextQuick(DirEntry& entry);
  // Starts the enumeration again from the first entry.
  void Rewind();
  // Opens regular file `name` of this directory for reading (O_NOFOLLOW,
  // O_NONBLOCK so a FIFO never blocks); -1 on failure. Caller closes the fd.
  int OpenFileForRead(const std::string& name) const;
  // The same, also giving the file's size at open, for readers that stop at
  // the end without a further read. Non-blocking mode is left set: it has no
  // effect on a regular file.
  int OpenFileForRead(const std::string& name, std::uint64_t& size) const;
  // Reads up to n bytes from a descriptor of OpenFileForRead (retrying on
  // EINTR); the count, 0 at the end, -1 on error.
  static long long ReadFd(int fd, void* buf, std::size_t n);
  // Closes a descriptor of OpenFileForRead.
  static void CloseFd(int fd);
  // The directory's own device number.
  std::uint64_t Device() const;
  int fd() const { return fd_; }

 private:
  explicit Directory(int fd);
  int fd_ = -1;
  void* dir_ = nullptr;  // DIR*
  std::uint64_t dev_ = 0;
};

}  // namespace plat
