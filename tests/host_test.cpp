// The isolated player host driven through its client: one well-behaved
// player checked value by value, then one player per way to fail, each
// classified, leaving no child process and nothing in $TMPDIR behind.
#include <errno.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host_client.h"
#include "test_dir.h"

namespace fs = std::filesystem;
using Kind = HostFault::Kind;

namespace {

class Host : public ::testing::Test {
 protected:
  void SetUp() override {
    old_cwd_ = fs::current_path();
    fs::create_directories(run_ / "tmp");
    setenv("TMPDIR", (run_ / "tmp").c_str(), 1);
    fs::current_path(run_.path);
  }

  void TearDown() override {
    StopHost(hp_);
    fs::current_path(old_cwd_);
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_TRUE(fs::is_empty(run_ / "tmp"));
  }

  // Starts the test player and has its PsInit pick mode; returns PsInit's fault.
  std::optional<HostFault> Start(int mode, HostLimits limits = {}) {
    const std::optional<std::string> error = StartHost(hp_, HOST_EXE, HOST_PLAYER_SO, 1, limits);
    EXPECT_EQ(error, std::nullopt);
    info_.Size = PS_INFO_SIZE;
    info_.MaxVer = 1;
    info_.Player = 1;
    info_.NumHoles = 6;
    info_.Param = mode;
    return HostInit(hp_, info_, ok_);
  }

  std::optional<HostFault> GetTurn(int32_t& answer) {
    const HoleRow my = {1, 2, 3, 4, 5, 6}, opp = {0, 0, 0, 0, 0, 9};
    return HostGetTurn(hp_, my, opp, 4, 3, answer);
  }

  // A fault in PsGetTurn; the dead player answers every later call alike.
  HostFault TurnFault(int mode, HostLimits limits = {}) {
    EXPECT_EQ(Start(mode, limits), std::nullopt);
    int32_t answer = 0;
    std::optional<HostFault> f = GetTurn(answer);
    if (!f) return {};
    const std::optional<HostFault> again = HostOppTurn(hp_, 1);
    EXPECT_TRUE(again && again->kind == f->kind && again->detail == f->detail);
    return *f;
  }

  TestDir run_;
  fs::path old_cwd_;
  HostedPlayer hp_;
  PsInfo info_{};
  PsBool ok_ = 0;
};

TEST_F(Host, FiveCalls) {
  ASSERT_EQ(Start(0), std::nullopt);
  EXPECT_EQ(ok_, 7);
  EXPECT_EQ(info_.CurrVer, 1);
  EXPECT_STREQ(info_.name, "echo 1");
  EXPECT_STREQ(info_.creator, "tests");
  int32_t answer = 0;
  ASSERT_EQ(GetTurn(answer), std::nullopt);
  EXPECT_EQ(answer, 1 + 90 + 400 + 3000);
  ASSERT_EQ(HostOppTurn(hp_, 5), std::nullopt);
  ASSERT_EQ(HostEndRound(hp_, 10, 20, 30), std::nullopt);
  ASSERT_EQ(GetTurn(answer), std::nullopt);
  EXPECT_EQ(answer, 1 + 90 + 400 + 3000 + 50000 + 6000000);
  ASSERT_EQ(HostDone(hp_), std::nullopt);
  StopHost(hp_);
  EXPECT_EQ(ReadFile("done.txt"), "60");
}

TEST_F(Host, Crashes) {
  HostFault f = TurnFault(1);
  EXPECT_EQ(f.kind, Kind::Crashed);
  EXPECT_EQ(f.signal, SIGSEGV);
  EXPECT_NE(f.detail.find("PsGetTurn"), std::string::npos) << f.detail;
  StopHost(hp_);
  f = TurnFault(2);
  EXPECT_EQ(f.kind, Kind::Crashed);
  EXPECT_EQ(f.signal, SIGABRT);
}

TEST_F(Host, Exits) {
  HostFault f = TurnFault(3);
  EXPECT_EQ(f.kind, Kind::Exited);
  EXPECT_EQ(f.status, 0);
  StopHost(hp_);
  f = TurnFault(8);  // _exit: no note from the host, found by waitpid
  EXPECT_EQ(f.kind, Kind::Exited);
  EXPECT_EQ(f.status, 3);
}

void Tick(int) {}

// A signal every millisecond interrupts the waits: the limit still holds.
TEST_F(Host, Timeout) {
  struct sigaction sa {};
  sa.sa_handler = Tick;
  sigaction(SIGALRM, &sa, nullptr);
  const itimerval every{{0, 1000}, {0, 1000}};
  setitimer(ITIMER_REAL, &every, nullptr);
  HostLimits limits;
  limits.move_seconds = 0.2;
  const HostFault f = TurnFault(4, limits);
  const itimerval off{};
  setitimer(ITIMER_REAL, &off, nullptr);
  EXPECT_EQ(f.kind, Kind::Timeout);
  EXPECT_EQ(f.limit_seconds, 0.2);
}

TEST_F(Host, PastRecord) {
  const std::optional<HostFault> f = Start(5);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->kind, Kind::WrotePastRecord) << f->detail;
  EXPECT_EQ(f->signal, SIGSEGV);
}

TEST_F(Host, PastRows) {
  const HostFault f = TurnFault(6);
  EXPECT_EQ(f.kind, Kind::WrotePastRows) << f.detail;
}

TEST_F(Host, OutOfMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space: no limit applies";
#endif
  HostLimits limits;
  limits.memory_mb = 128;
  const HostFault f = TurnFault(7, limits);
  EXPECT_EQ(f.kind, Kind::OutOfMemory) << f.detail;
}

TEST_F(Host, LoadErrors) {
  std::optional<std::string> error = StartHost(hp_, HOST_EXE, NO_DONE_SO, 2, {});
  ASSERT_TRUE(error);
  EXPECT_EQ(*error, std::string(NO_DONE_SO) + ": entry point PsDone missing: " + NO_DONE_SO +
                        ": undefined symbol: PsDone");
  error = StartHost(hp_, HOST_EXE, "./absent.so", 2, {});
  ASSERT_TRUE(error);
  EXPECT_EQ(error->rfind("cannot load player library ./absent.so: ", 0), 0u) << *error;
}

}  // namespace
