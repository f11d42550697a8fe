// Running the referee as a process for whole-match tests: a folder with
// the referee and its players in bin/, run from run/, its console, stderr
// and exit status collected; times masked for golden files.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <sstream>
#include <vector>

#include "test_dir.h"

namespace fs = std::filesystem;

struct Result {
  int status = -1;
  std::string out, err;
};

// A folder with the referee and its two players in bin/, run from run/.
class Arena {
 public:
  Arena(const std::string& player1 = SCRIPTED_SO, const std::string& player2 = SCRIPTED_SO) {
    fs::create_directories(Bin());
    fs::create_directories(Run());
    fs::create_directories(Tmp());
    fs::copy_file(PITSOW_EXE, Bin() / "pitsow");
    fs::copy_file(HOST_EXE, Bin() / "pitsow-host");
    if (!player1.empty()) fs::create_symlink(player1, Bin() / "PsPlayer1.so");
    if (!player2.empty()) fs::create_symlink(player2, Bin() / "PsPlayer2.so");
  }

  fs::path Bin() const { return dir / "bin"; }
  fs::path Run() const { return dir / "run"; }
  std::string File(const std::string& name) const { return ReadFile(Run() / name); }
  bool Exists(const std::string& name) const { return fs::exists(Run() / name); }
  void Script(int player, const std::string& text) const {
    WriteFile(Run() / ("script" + std::to_string(player) + ".txt"), text);
  }

  // Starts the referee with args in run/, $TMPDIR pointing at tmp/;
  // stdout goes to stdoutPath when given ("-" closes it).
  pid_t Start(const std::vector<std::string>& args, const std::string& stdoutPath = "",
              const std::string& libraryPath = "", const std::string& tag = "") const {
    const fs::path out = dir / ("stdout" + tag + ".txt"), err = dir / ("stderr" + tag + ".txt");
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(Run().c_str()) != 0) _exit(120);
      const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (e < 0 || dup2(e, 2) < 0) _exit(121);
      if (stdoutPath == "-") {
        close(1);
      } else {
        const std::string outName = stdoutPath.empty() ? out.string() : stdoutPath;
        const int o = open(outName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (o < 0 || dup2(o, 1) < 0) _exit(121);
      }
      if (!libraryPath.empty()) setenv("LD_LIBRARY_PATH", libraryPath.c_str(), 1);
      setenv("TMPDIR", Tmp().c_str(), 1);
      for (const std::string& setting : env) putenv(const_cast<char*>(setting.c_str()));
      const std::string exe = (Bin() / "pitsow").string();
      std::vector<char*> argv{const_cast<char*>(exe.c_str())};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(exe.c_str(), argv.data());
      _exit(122);
    }
    return pid;
  }

  Result Wait(pid_t pid, bool console = true, const std::string& tag = "") const {
    int status = 0;
    waitpid(pid, &status, 0);
    Result r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = console ? ReadFile(dir / ("stdout" + tag + ".txt")) : "";
    r.err = ReadFile(dir / ("stderr" + tag + ".txt"));
    return r;
  }

  // Runs the referee with args to its end.
  Result Play(const std::vector<std::string>& args, const std::string& stdoutPath = "",
              const std::string& libraryPath = "") const {
    return Wait(Start(args, stdoutPath, libraryPath), stdoutPath.empty());
  }

  // Nothing may be left in $TMPDIR after a run.
  bool TmpIsEmpty() const { return fs::is_empty(Tmp()); }
  fs::path Tmp() const { return dir / "tmp"; }

  TestDir dir;
  std::vector<std::string> env;  // NAME=VALUE for the referee's environment
};

// For matches in which a player dies of a signal on purpose: a referee
// built with AddressSanitizer leaves the signals to the referee's own
// report and the default action, as a plain build does.
inline const char* kPlainSignals =
    "ASAN_OPTIONS=handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:handle_abort=0";

// Times and the date vary from run to run: their digits become '#'.
inline std::string MaskTimes(const std::string& text) {
  static const std::regex date(
      R"(^   [ 0-9]{2}:[ 0-9]{2}:[ 0-9]{2}\.[ 0-9]{2}   [ 0-9]{2}-[A-Z][a-z]{2}-[ 0-9]{4}\r\n)");
  static const std::regex number(R"([0-9]+\.[0-9]+)");
  std::string masked =
      std::regex_replace(text, date, "<date>\r\n", std::regex_constants::format_first_only);
  std::string out;
  auto begin = std::sregex_iterator(masked.begin(), masked.end(), number);
  size_t last = 0;
  for (auto it = begin; it != std::sregex_iterator(); ++it) {
    out.append(masked, last, static_cast<size_t>(it->position()) - last);
    std::string n = it->str();
    for (char& c : n)
      if (c != '.') c = '#';
    out += n;
    last = static_cast<size_t>(it->position() + it->length());
  }
  out.append(masked, last);
  return out;
}

// Compares with a golden file; PITSOW_UPDATE_GOLDEN=1 rewrites it instead.
inline void ExpectGolden(const std::string& actual, const std::string& name) {
  const fs::path golden = fs::path(GOLDEN_DIR) / name;
  if (getenv("PITSOW_UPDATE_GOLDEN") != nullptr) WriteFile(golden, actual);
  EXPECT_EQ(actual, ReadFile(golden)) << "golden file " << golden;
}

inline size_t Count(const std::string& text, const std::string& needle) {
  size_t n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}
