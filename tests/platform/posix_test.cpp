// The POSIX helpers every layer shares: the deadline, writing a whole
// buffer, and syncing a file's folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>
#include <thread>

#include "platform/posix/deadline.h"
#include "platform/posix/io.h"
#include "testing/temp_dir.h"

namespace {

using platform::Deadline;
using platform::kNsPerMs;

TEST(Deadline, WaitsRoundUpSoThatTheyNeverEndEarly) {
  const Deadline d = Deadline::At(10 * kNsPerMs);
  EXPECT_EQ(d.MsLeft(8 * kNsPerMs + 500'000), 2);  // 1.5 ms left: a 2 ms wait
  EXPECT_EQ(d.MsLeft(8 * kNsPerMs), 2);
  EXPECT_EQ(d.MsLeft(10 * kNsPerMs - 1), 1);
  EXPECT_FALSE(d.Passed(10 * kNsPerMs - 1));
  EXPECT_TRUE(d.Passed(10 * kNsPerMs));
  EXPECT_EQ(d.MsLeft(11 * kNsPerMs), 0);
  EXPECT_EQ(d.NsLeft(11 * kNsPerMs), 0);
  EXPECT_EQ(Deadline::At(INT64_MAX / 2).MsLeft(0), INT_MAX);  // cut to what poll() takes
  // On the real clock: a poll for MsLeft() ends with the deadline passed.
  const Deadline soon = Deadline::InMs(15);
  EXPECT_FALSE(soon.Passed());
  ::poll(nullptr, 0, soon.MsLeft());
  EXPECT_TRUE(soon.Passed());
}

TEST(Deadline, NeverIsLaterThanAnyTimeAndStaysNever) {
  const Deadline never;
  EXPECT_TRUE(never.IsNever());
  EXPECT_FALSE(never.Passed(INT64_MAX));
  EXPECT_EQ(never.MsLeft(), -1);  // poll's "no limit"
  EXPECT_TRUE(never.After(kNsPerMs).IsNever());
  const Deadline early = Deadline::At(5), late = Deadline::At(5).After(3);
  EXPECT_EQ(late.at(), 8);
  EXPECT_EQ(Deadline::Earliest(late, early).at(), 5);
  EXPECT_EQ(Deadline::Earliest(never, late).at(), 8);
  EXPECT_EQ(Deadline::Earliest(late, never).at(), 8);
  EXPECT_TRUE(Deadline::Earliest(never, never).IsNever());
  const timespec ts = Deadline::At(3 * platform::kNsPerSecond + 7).ToTimespec();
  EXPECT_EQ(ts.tv_sec, 3);
  EXPECT_EQ(ts.tv_nsec, 7);
}

void Nothing(int) {}

// A writer blocked on a full pipe is interrupted by signals over and over
// (no SA_RESTART): its writes end short or with EINTR, and all the bytes
// still arrive, in order.
TEST(WriteAll, GoesOnAfterShortWritesAndInterruptions) {
  struct sigaction action {};
  action.sa_handler = &Nothing;
  struct sigaction before {};
  ASSERT_EQ(::sigaction(SIGUSR1, &action, &before), 0);
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  std::string data(1 << 20, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 % 251);
  const pthread_t writer = ::pthread_self();
  std::string got;
  std::thread reader([&] {
    char buf[4096];
    for (ssize_t n; got.size() < data.size() && (n = ::read(pipe[0], buf, sizeof buf)) > 0;) {
      got.append(buf, static_cast<std::size_t>(n));
      ::pthread_kill(writer, SIGUSR1);
    }
  });
  EXPECT_TRUE(platform::WriteAll(pipe[1], data));
  ::close(pipe[1]);  // the reader's end, also after a failed write
  reader.join();
  EXPECT_TRUE(got == data);
  ::close(pipe[0]);
  ::sigaction(SIGUSR1, &before, nullptr);
}

// A file size limit (as a full disk) takes part of the data, then refuses
// the rest: false, with the reason.
TEST(WriteAll, AWriteThatFailsGivesFalseWithItsReason) {
  const testsupport::TempDir dir("posix");
  rlimit before{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
  const sighandler_t xfsz = ::signal(SIGXFSZ, SIG_IGN);
  rlimit small = before;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const int fd = ::open(dir.File("f").c_str(), O_WRONLY | O_CREAT, 0600);
  errno = 0;
  EXPECT_FALSE(platform::WriteAll(fd, std::string(5000, 'x')));
  EXPECT_EQ(errno, EFBIG);
  ::close(fd);
  ::setrlimit(RLIMIT_FSIZE, &before);
  ::signal(SIGXFSZ, xfsz);
  EXPECT_EQ(testsupport::ReadFile(dir.File("f")).size(), 1000u);
}

TEST(SyncParentFolder, FlushesTheFolderThatHoldsAPath) {
  EXPECT_EQ(platform::ParentFolder("journal"), ".");
  EXPECT_EQ(platform::ParentFolder("/journal"), "/");
  EXPECT_EQ(platform::ParentFolder("/var/lib/journal"), "/var/lib");
  EXPECT_EQ(platform::ParentFolder("state/journal"), "state");
  const testsupport::TempDir dir("posix");
  EXPECT_TRUE(platform::SyncParentFolder(dir.File("not-made-yet")));
  EXPECT_TRUE(platform::SyncParentFolder("a-name-in-the-working-folder"));
  errno = 0;
  EXPECT_FALSE(platform::SyncParentFolder(dir.File("missing/journal")));
  EXPECT_EQ(errno, ENOENT);
}

}  // namespace
