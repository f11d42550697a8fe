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
using Kind = PlayerFault::Kind;

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
    hp_.reset();
    fs::current_path(old_cwd_);
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_TRUE(fs::is_empty(run_ / "tmp"));
  }

  // Starts the test player and has its PsInit pick mode; returns PsInit's fault.
  std::optional<PlayerFault> Start(int mode, HostLimits limits = {}) {
    hp_.reset();
    Result<HostedPlayer> host = HostedPlayer::Start({HOST_EXE, HOST_PLAYER_SO, 1, limits});
    EXPECT_TRUE(host.ok()) << host.error().text;
    if (!host) return PlayerFault{};
    hp_.emplace(std::move(*host));
    info_.Size = PS_INFO_SIZE;
    info_.MaxVer = 1;
    info_.Player = 1;
    info_.NumHoles = 6;
    info_.Param = mode;
    return hp_->Init(info_, ok_);
  }

  std::optional<PlayerFault> GetTurn(int32_t& answer) {
    const HoleRow my = {1, 2, 3, 4, 5, 6}, opp = {0, 0, 0, 0, 0, 9};
    return hp_->GetTurn(my, opp, 4, 3, answer);
  }

  // A fault in PsGetTurn; the dead player answers every later call alike.
  PlayerFault TurnFault(int mode, HostLimits limits = {}) {
    EXPECT_EQ(Start(mode, limits), std::nullopt);
    int32_t answer = 0;
    std::optional<PlayerFault> f = GetTurn(answer);
    if (!f) return {};
    const std::optional<PlayerFault> again = hp_->OppTurn(1);
    EXPECT_TRUE(again && again->kind == f->kind && again->detail == f->detail);
    return *f;
  }

  TestDir run_;
  fs::path old_cwd_;
  std::optional<HostedPlayer> hp_;
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
  ASSERT_EQ(hp_->OppTurn(5), std::nullopt);
  ASSERT_EQ(hp_->EndRound(10, 20, 30), std::nullopt);
  ASSERT_EQ(GetTurn(answer), std::nullopt);
  EXPECT_EQ(answer, 1 + 90 + 400 + 3000 + 50000 + 6000000);
  ASSERT_EQ(hp_->Done(), std::nullopt);
  hp_.reset();
  EXPECT_EQ(ReadFile("done.txt"), "60");
}

TEST_F(Host, Crashes) {
  PlayerFault f = TurnFault(1);
  EXPECT_EQ(f.kind, Kind::Crashed);
  EXPECT_EQ(f.signal, SIGSEGV);
  EXPECT_NE(f.detail.find("PsGetTurn"), std::string::npos) << f.detail;
  hp_.reset();
  f = TurnFault(2);
  EXPECT_EQ(f.kind, Kind::Crashed);
  EXPECT_EQ(f.signal, SIGABRT);
}

TEST_F(Host, Exits) {
  PlayerFault f = TurnFault(3);
  EXPECT_EQ(f.kind, Kind::Exited);
  EXPECT_EQ(f.status, 0);
  hp_.reset();
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
  limits.move_time = 0.2;
  const PlayerFault f = TurnFault(4, limits);
  const itimerval off{};
  setitimer(ITIMER_REAL, &off, nullptr);
  EXPECT_EQ(f.kind, Kind::Timeout);
  EXPECT_EQ(f.limit, TimeLimit::Move);
  EXPECT_EQ(f.limit_seconds, 0.2);
}

// The player owns its host: a move hands it over whole, and the last
// owner's end reaps the process and closes the channel's descriptor.
TEST_F(Host, OwnsItsProcess) {
  ASSERT_EQ(Start(0), std::nullopt);
  const pid_t pid = hp_->Pid();
  HostedPlayer moved = std::move(*hp_);
  hp_.reset();
  EXPECT_EQ(moved.Pid(), pid);
  EXPECT_EQ(kill(pid, 0), 0);
  std::optional<HostedPlayer> last(std::move(moved));
  last.reset();
  EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
}

TEST_F(Host, PastRecord) {
  const std::optional<PlayerFault> f = Start(5);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->kind, Kind::WrotePastRecord) << f->detail;
  EXPECT_EQ(f->signal, SIGSEGV);
}

TEST_F(Host, PastRows) {
  const PlayerFault f = TurnFault(6);
  EXPECT_EQ(f.kind, Kind::WrotePastRows) << f.detail;
}

TEST_F(Host, OutOfMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space: no limit applies";
#endif
  HostLimits limits;
  limits.memory_mb = 128;
  const PlayerFault f = TurnFault(7, limits);
  EXPECT_EQ(f.kind, Kind::OutOfMemory) << f.detail;
}

TEST_F(Host, LoadErrors) {
  Result<HostedPlayer> host = HostedPlayer::Start({HOST_EXE, NO_DONE_SO, 2, {}});
  ASSERT_FALSE(host);
  // The referee's words name the library and the player; the host's text
  // is quoted.
  EXPECT_EQ(host.error().text, "cannot load player library " + std::string(NO_DONE_SO) +
                                   " for player 2: its host reported \"" + NO_DONE_SO +
                                   ": entry point PsDone missing: " + NO_DONE_SO +
                                   ": undefined symbol: PsDone\"");
  host = HostedPlayer::Start({HOST_EXE, "./absent.so", 2, {}});
  ASSERT_FALSE(host);
  EXPECT_EQ(host.error().text.rfind("cannot load player library ./absent.so for player 2: its host "
                                    "reported \"cannot load player library ./absent.so: ",
                                    0),
            0u)
      << host.error().text;
}

}  // namespace
