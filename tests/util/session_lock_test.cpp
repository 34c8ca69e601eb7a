#include "util/session_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

TEST(SessionLock, SecondAttemptIsBusyAndNamesTheHolder) {
  const fs::path dir = fs::temp_directory_path() / ("rf_lock_" + std::to_string(getpid()));
  fs::create_directories(dir);
  {
    session_lock::Attempt first = session_lock::try_lock(dir.string());
    ASSERT_TRUE(first.lock.held()) << first.error;
    // flock belongs to the open file description, so a second open in the same process
    // conflicts just as another process would.
    session_lock::Attempt second = session_lock::try_lock(dir.string());
    EXPECT_FALSE(second.lock.held());
    EXPECT_TRUE(second.busy);
    EXPECT_EQ(second.holder_pid, static_cast<long>(getpid()));
    EXPECT_NE(session_lock::busy_message(dir.string(), second.holder_pid)
                  .find("(process " + std::to_string(getpid()) + ")"),
              std::string::npos);
  }
  // Released with its owner.
  session_lock::Attempt again = session_lock::try_lock(dir.string());
  EXPECT_TRUE(again.lock.held());
  fs::remove_all(dir);
}

TEST(SessionLock, KilledHolderLeavesTheDirectoryFree) {
  const fs::path dir = fs::temp_directory_path() / ("rf_lock_kill_" + std::to_string(getpid()));
  fs::create_directories(dir);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    session_lock::Attempt held = session_lock::try_lock(dir.string());
    const char ok = held.lock.held() ? '1' : '0';
    if (write(ready[1], &ok, 1) != 1) _exit(3);
    for (;;) pause();
  }
  char ok = 0;
  ASSERT_EQ(read(ready[0], &ok, 1), 1);
  ASSERT_EQ(ok, '1');
  session_lock::Attempt busy = session_lock::try_lock(dir.string());
  EXPECT_TRUE(busy.busy);
  EXPECT_EQ(busy.holder_pid, static_cast<long>(child));
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_TRUE(session_lock::try_lock(dir.string()).lock.held());
  close(ready[0]);
  close(ready[1]);
  fs::remove_all(dir);
}

// The holder's id is read only when it is complete and names a running process: an id still
// being written (no line end yet), none at all, or the id an ended session left before the new
// holder replaced it reports the holder as unknown rather than as a wrong process.
TEST(SessionLock, HolderIdIsReadOnlyWhenComplete) {
  const fs::path dir = fs::temp_directory_path() / ("rf_lock_id_" + std::to_string(getpid()));
  fs::create_directories(dir);
  session_lock::Attempt held = session_lock::try_lock(dir.string());
  ASSERT_TRUE(held.lock.held()) << held.error;
  const pid_t ended = fork();
  ASSERT_GE(ended, 0);
  if (ended == 0) _exit(0);
  ASSERT_EQ(waitpid(ended, nullptr, 0), ended);
  const std::string me = std::to_string(getpid());
  struct Case {
    std::string content;
    long pid;
  };
  const Case cases[] = {{me + "\n", getpid()},
                        {me, 0},
                        {me.substr(0, 1), 0},
                        {"", 0},
                        {"x\n", 0},
                        {"-3\n", 0},
                        {std::to_string(ended) + "\n", 0}};
  for (const Case& c : cases) {
    {
      std::ofstream out(dir / session_lock::kFileName, std::ios::binary | std::ios::trunc);
      out << c.content;
    }
    session_lock::Attempt second = session_lock::try_lock(dir.string());
    EXPECT_TRUE(second.busy) << c.content;
    EXPECT_EQ(second.holder_pid, c.pid) << "'" << c.content << "'";
  }
  held = session_lock::Attempt{};
  fs::remove_all(dir);
}

TEST(SessionLock, MissingDirectoryIsAnErrorNotBusy) {
  session_lock::Attempt attempt = session_lock::try_lock("/nonexistent/rotorforge/dir");
  EXPECT_FALSE(attempt.lock.held());
  EXPECT_FALSE(attempt.busy);
  EXPECT_NE(attempt.error.find("No such file or directory"), std::string::npos);
}

}  // namespace
