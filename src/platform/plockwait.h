// The bounded wait for a lock, shared by the platform's file handles and its
// own directory locks. Internal to the platform layer.
#pragma once
#include <functional>

namespace plat {

// Takes flock `op` (LOCK_SH or LOCK_EX) on descriptor `fd`. While another
// holder keeps a conflicting lock it polls, up to LockWait(); `ours`, when
// given, is asked at each conflict and ends the wait at once by answering
// true (the holder is this process, which waiting cannot help). False when
// the lock was not taken, with LastFileError() saying why (Busy for a lock
// still held).
bool FlockWithin(int fd, int op, const std::function<bool()>& ours = {});

}  // namespace plat
