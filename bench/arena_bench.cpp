// The tournament runner's speed: a two-player tournament of CPU-bound
// players at one and two referee runs at once (rounds per second and the
// speed-up), and its overhead against the same referee runs started one
// after another by a shell loop.
//
//   arena_bench <folder with pitsow-arena, pitsow and busy_player.so>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

constexpr int kRuns = 3;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Shell(const std::string& command) {
  const double start = Now();
  const int status = std::system(command.c_str());
  if (status != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
  return Now() - start;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: arena_bench BIN-FOLDER\n");
    return 64;
  }
  const fs::path bin = fs::absolute(argv[1]);
  const fs::path work =
      fs::temp_directory_path() / ("pitsow-arena-bench-" + std::to_string(getpid()));
  fs::create_directories(work);
  const int pairs = 40, batch = 10;
  const std::string players =
      " A=" + (bin / "busy_player.so").string() + " B=" + (bin / "busy_player.so").string();
  auto arena = [&](int j) {
    const fs::path out = work / fs::path("j").concat(std::to_string(j));
    fs::remove_all(out);
    std::ostringstream command;
    command << (bin / "pitsow-arena").string() << " --quiet --pairs " << pairs << " --batch "
            << batch << " --concurrency " << j << " --out " << out.string() << players
            << " > /dev/null";
    return Shell(command.str());
  };
  arena(1);  // the match folders for the shell loop

  // The same referee runs, from the arena's own match folders, by a shell loop.
  std::ostringstream loop;
  for (const auto& entry : fs::directory_iterator(work / "j1" / "matches")) {
    std::ifstream in(entry.path() / "openings.txt");
    int rounds = 0;
    for (std::string line; std::getline(in, line);) ++rounds;
    const std::string name = entry.path().filename().string();
    const std::string p1 = (bin / "busy_player.so").string();
    const fs::path dir = work / "loop" / name;
    fs::create_directories(dir);
    fs::copy_file(entry.path() / "openings.txt", dir / "openings.txt");
    loop << "cd " << dir << " && rm -f match.jsonl PsLog.txt"
         << " && " << (bin / "pitsow").string() << " --player1=" << p1 << " --player2=" << p1
         << " --isolate --forfeit --quiet --results=match.jsonl"
         << " --openings=openings.txt /R=" << rounds << " /L=01 /L=10 /L=20 > /dev/null\n";
  }
  std::ofstream(work / "loop.sh") << loop.str();
  // Medians of three, the three kinds taken in turn so that a busy spell
  // of the machine falls on all of them alike.
  std::vector<double> shells, ones, twos;
  for (int i = 0; i < kRuns; ++i) {
    shells.push_back(Shell("sh " + (work / "loop.sh").string()));
    ones.push_back(arena(1));
    twos.push_back(arena(2));
  }
  const double shell = Median(shells), one = Median(ones), two = Median(twos);

  const double rounds = 2.0 * pairs;
  const std::string title = "arena: busy players, " + std::to_string(2 * pairs) + " rounds";
  std::printf("\n| %-41s | s       | rounds/s | vs shell loop |\n", title.c_str());
  std::printf(
      "|-------------------------------------------|---------|----------|---------------|\n");
  std::printf("| shell loop of the same referee runs       | %7.3f | %8.2f |               |\n",
              shell, rounds / shell);
  std::printf("| pitsow-arena --concurrency 1              | %7.3f | %8.2f | %+12.1f%% |\n", one,
              rounds / one, 100 * (one - shell) / shell);
  std::printf("| pitsow-arena --concurrency 2              | %7.3f | %8.2f | speed-up %.2f |\n",
              two, rounds / two, one / two);
  std::printf("\nMedians of %d runs; the shell loop plays the arena's own referee runs.\n", kRuns);
  fs::remove_all(work);
  return 0;
}
