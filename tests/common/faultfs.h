// A file system that fails on request, over the real one: short reads,
// failed reads and writes, a disk that fills up, opens that fail, and the
// N-th operation of any kind failing. Install it with FaultFs::Scope so the
// real one comes back at the end of the test.
#pragma once
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>

#include "platform/pfile.h"

class FaultFs : public plat::FileSystem {
 public:
  plat::HANDLE Open(const std::string& path, plat::Access access, plat::Creation creation) override;
  bool Close(plat::HANDLE h) override;
  long long Read(plat::HANDLE h, void* buf, std::size_t n) override;
  long long Write(plat::HANDLE h, const void* buf, std::size_t n) override;
  long long Seek(plat::HANDLE h, long long offset, plat::Whence whence) override;
  long long Size(plat::HANDLE h) override;
  bool Sync(plat::HANDLE h) override;
  bool SetMode(plat::HANDLE h, unsigned mode) override;
  bool Remove(const std::string& path) override;
  bool Rename(const std::string& from, const std::string& to) override;
  bool MakeDir(const std::string& path) override;
  bool RemoveDir(const std::string& path) override;
  bool SyncDir(const std::string& path) override;
  bool Exists(const std::string& path) override;

  // Opens of paths containing this text fail ("" = none).
  std::string failOpenMatching;
  // Each read returns at most this many bytes (0 = no limit).
  std::size_t maxReadChunk = 0;
  // Reads fail with -1.
  bool failReads = false;
  // Writes fail with -1.
  bool failWrites = false;
  // Bytes that may still be written before the disk is full (-1 = no limit);
  // a write beyond it is cut short.
  long long diskSpace = -1;
  // The cause an injected failure reports in plat::LastFileError() (a full
  // disk always reports NoSpace).
  plat::FileError injectedError = plat::FileError::Other;

  // What happened.
  int opens = 0, reads = 0, writes = 0;

  // The N-th operation fault. Every operation that can fail counts (open,
  // read, write, seek, size, sync, set mode, remove, rename, make/remove
  // directory, sync directory); Close and Exists do not, since they cannot
  // report a failure. Counting starts from 1 when armed; operation `n` fails,
  // and with `sticky` every later one too (a disk that went away).
  void ArmNth(long n, bool sticky = false);
  // Stops counting and failing.
  void Disarm();
  // Operations counted since armed.
  long Counted() const;
  // True once the armed fault has failed an operation.
  bool Fired() const;
  // The operation the fault failed first, as "rename <path>", for messages.
  std::string FiredAt() const;

  // Installs a FaultFs for the life of the scope.
  struct Scope {
    explicit Scope(FaultFs& fs) { plat::SetFs(&fs); }
    ~Scope() { plat::SetFs(nullptr); }
  };

 private:
  // Counts one operation; true when it must fail (the cause is then set).
  bool Inject(const char* op, const std::string& what);

  mutable std::mutex mu_;
  long nth_ = 0;  // 0 = not armed
  bool sticky_ = false;
  long counted_ = 0;
  bool fired_ = false;
  std::string firedAt_;
};

// Runs one operation with each of its file operations failing in turn.
struct FaultSweep {
  // Before each run, on the real file system: put back the starting state.
  std::function<void()> prepare;
  // The operation under test, run with the FaultFs installed.
  std::function<void()> run;
  // After each run that the fault reached, on the real file system: checks
  // that what was stored before is intact or the operation completed. The
  // argument is the number of the operation that failed.
  std::function<void(long n)> check;
  // Every operation from the N-th on fails, not only the N-th.
  bool sticky = false;
  // A bound on the number of runs, against an operation that never ends.
  long maxRuns = 20000;
};

// Runs `sweep` with the fault at N = 1, 2, 3, ... until a run completes
// without reaching N (that last, clean run's result stays for the caller to
// inspect). Stops early once a check has failed. Returns the number of
// injection points tried: the runs the fault reached.
long SweepFaults(FaultFs& fs, const FaultSweep& sweep);
