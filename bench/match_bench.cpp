// Whole matches of the random player against itself, timed from outside:
// rounds and Turn calls per second at several log levels and with each
// player in a process of its own, beside the yardstick that does only what
// the console output requires.
//
//   match_bench <folder with pitsow and the players> <yardstick>
#include <fcntl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kRuns = 5;

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Runs a program with stdout to the given file; returns its wall time.
double Run(const std::vector<std::string>& argv, const std::string& out) {
  const double start = Now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = open("/dev/null", O_WRONLY);
    if (fd < 0 || null < 0 || dup2(fd, 1) < 0 || dup2(null, 2) < 0) _exit(120);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(121);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  const double seconds = Now() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", argv[0].c_str());
    std::exit(1);
  }
  return seconds;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Turn calls of one run, counted on its console output.
long CountTurnCalls(const std::vector<std::string>& argv, const std::string& file) {
  Run(argv, file);
  std::ifstream in(file, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  long calls = 0;
  for (size_t at = text.find("Turn: "); at != std::string::npos; at = text.find("Turn: ", at + 1))
    ++calls;
  return calls;
}

struct Row {
  std::string name;
  long rounds;
  double seconds;
  long calls;
};

void Print(const Row& r, double yardstick) {
  std::printf("| %-34s | %6ld | %7.3f | %9.0f | %11.0f |", r.name.c_str(), r.rounds, r.seconds,
              static_cast<double>(r.rounds) / r.seconds, static_cast<double>(r.calls) / r.seconds);
  if (yardstick > 0)
    std::printf(" %5.2f |\n", r.seconds / yardstick);
  else
    std::printf("       |\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: match_bench <bin folder> <yardstick>\n");
    return 2;
  }
  const std::string pitsow = std::filesystem::absolute(std::string(argv[1]) + "/pitsow");
  const std::string yardstick = std::filesystem::absolute(argv[2]);
  const std::filesystem::path work = std::filesystem::temp_directory_path() / "pitsow-bench";
  std::filesystem::create_directories(work);
  std::filesystem::current_path(work);
  const std::string counted = (work / "console.txt").string();

  struct Config {
    std::string name;
    long rounds;
    std::vector<std::string> options;
  };
  const Config configs[] = {
      {"/L=00 /L=10 /L=20", 20000, {"/L=00", "/L=10", "/L=20"}},
      {"default levels (3, 3, 3)", 20000, {}},
      {"/L=05", 2000, {"/L=05"}},
      {"--isolate /L=00 /L=10 /L=20", 2000, {"--isolate", "/L=00", "/L=10", "/L=20"}},
  };

  std::printf("| %-34s | %6s | %7s | %9s | %11s | %5s |\n", "match", "rounds", "s", "rounds/s",
              "Turn calls/s", "ratio");
  std::printf("|%s|%s|%s|%s|%s|%s|\n", std::string(36, '-').c_str(), std::string(8, '-').c_str(),
              std::string(9, '-').c_str(), std::string(11, '-').c_str(),
              std::string(13, '-').c_str(), std::string(7, '-').c_str());
  double yardstickSeconds = 0, quietSeconds = 0;
  for (const Config& c : configs) {
    std::vector<std::string> args{pitsow, "/R=" + std::to_string(c.rounds)};
    args.insert(args.end(), c.options.begin(), c.options.end());
    std::vector<double> referee, yard;
    for (int i = 0; i < kRuns; ++i) {
      referee.push_back(Run(args, "/dev/null"));
      if (&c == &configs[0])
        yard.push_back(Run({yardstick, std::to_string(c.rounds)}, "/dev/null"));
    }
    const long calls = CountTurnCalls(args, counted);
    if (&c == &configs[0]) {
      yardstickSeconds = Median(yard);
      const long yardCalls = CountTurnCalls({yardstick, std::to_string(c.rounds)}, counted);
      Print({"yardstick (C, one process)", c.rounds, yardstickSeconds, yardCalls}, 0);
    }
    Print({"pitsow " + c.name, c.rounds, Median(referee), calls},
          &c == &configs[0] ? yardstickSeconds : 0);
    if (&c == &configs[0]) quietSeconds = Median(referee);
  }
  std::printf(
      "\nMedians of %d runs, console to /dev/null; Turn calls counted in one more run "
      "of each.\nThe referee's times include its 100 ms pause between the two players' "
      "PsInit;\nless the pause, referee/yardstick at /L=00 /L=10 /L=20 is %.2f.\n",
      kRuns, (quietSeconds - 0.1) / yardstickSeconds);
  std::filesystem::current_path("/");
  std::filesystem::remove_all(work);
  return 0;
}
