// Polling rather than a blocking flock: a blocking call cannot be bounded.
// The pauses start short and grow, so a lock released a moment later is seen
// at once and a long wait costs little.
#include "platform/plockwait.h"

#include <sys/file.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/pfile.h"

namespace plat {

bool FlockWithin(int fd, int op, const std::function<bool()>& ours) {
  using namespace std::chrono;
  const auto bound = LockWait();
  const auto start = steady_clock::now();
  auto pause = milliseconds(1);
  for (;;) {
    if (::flock(fd, op | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      SetLastFileError(FileError::Other);
      return false;
    }
    auto waited = duration_cast<milliseconds>(steady_clock::now() - start);
    if ((ours && ours()) || waited >= bound) {
      SetLastFileError(FileError::Busy);
      return false;
    }
    std::this_thread::sleep_for(std::min(pause, bound - waited));
    pause = std::min(pause * 2, milliseconds(50));
  }
}

}  // namespace plat
