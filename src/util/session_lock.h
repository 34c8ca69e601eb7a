// One session per working directory.
//
// A session (rotorforge, or a companion program that writes the working files) holds an
// exclusive flock on a file of the working directory for as long as it runs. The kernel drops
// the lock when the process ends, however it ends, so a crash never leaves a directory locked.
// The file itself stays behind and holds the process id of the last holder.
#pragma once

#include <string>

namespace session_lock {

// Name of the lock file inside the working directory.
inline constexpr const char* kFileName = ".rotorforge.lock";

class Lock {
 public:
  Lock() = default;
  explicit Lock(int fd) noexcept : fd_(fd) {}
  Lock(Lock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Lock& operator=(Lock&& other) noexcept;
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  ~Lock();

  bool held() const noexcept { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Outcome of one attempt: the lock is held, or another process holds it (busy), or the lock
// file could not be opened (error).
struct Attempt {
  Lock lock;
  bool busy = false;
  long holder_pid = 0;  // when busy: the holder's process id, 0 when it could not be read
  std::string error;    // when neither held nor busy: what went wrong
};

// Tries, without waiting, to lock the working directory `dir` ("." for the current one). The
// file descriptor is not inherited by programs the holder starts.
Attempt try_lock(const std::string& dir);

// The one line shown to a user when `dir` is in use by process `pid` (0: unknown).
std::string busy_message(const std::string& dir, long pid);

}  // namespace session_lock
