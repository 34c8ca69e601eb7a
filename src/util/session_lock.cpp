#include "util/session_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace session_lock {
namespace {

// The holder writes its id right after taking the lock; a reader that comes in between sees an
// empty or partly written file and tries again for a moment before reporting the id as unknown.
// Only an id ended by its line end is complete: the first digits of "12345\n" are not an id.
// An id whose process is gone is one that an ended session left and the new holder has not yet
// replaced.
bool process_exists(long pid) {
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

long read_holder_pid(int fd) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    char text[32] = {};
    const ssize_t n = pread(fd, text, sizeof text - 1, 0);
    if (n > 0) {
      char* end = nullptr;
      const long pid = std::strtol(text, &end, 10);
      if (end != text && *end == '\n' && pid > 0 && process_exists(pid)) return pid;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return 0;
}

}  // namespace

Lock& Lock::operator=(Lock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

Lock::~Lock() {
  if (fd_ >= 0) close(fd_);  // closing the last descriptor releases the flock
}

Attempt try_lock(const std::string& dir) {
  Attempt result;
  const std::string path = (dir.empty() ? std::string(".") : dir) + "/" + kFileName;
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    result.error = path + ": " + std::strerror(errno);
    return result;
  }
  int rc;
  do {
    rc = flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    if (errno == EWOULDBLOCK) {
      result.busy = true;
      result.holder_pid = read_holder_pid(fd);
    } else {
      result.error = path + ": " + std::strerror(errno);
    }
    close(fd);
    return result;
  }
  const std::string pid = std::to_string(static_cast<long>(getpid())) + "\n";
  if (ftruncate(fd, 0) != 0 ||
      pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
    // The lock is held all the same; only the id that a second session would show is missing.
  }
  result.lock = Lock(fd);
  return result;
}

std::string busy_message(const std::string& dir, long pid) {
  std::string text = "the working directory " + (dir.empty() ? std::string(".") : dir) +
                     " is in use by another session";
  text += pid > 0 ? " (process " + std::to_string(pid) + ")" : " (process id unknown)";
  text += "; wait for it to end or work in another directory";
  return text;
}

}  // namespace session_lock
