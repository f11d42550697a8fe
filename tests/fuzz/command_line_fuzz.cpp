// libFuzzer target for the command line: any list of arguments must parse
// without a crash, leave the settings within what the board can carry, and
// give at most one error line per argument.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Arguments are separated by newlines; anything else, NUL included, is
  // part of an argument.
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '\n')
      args.emplace_back();
    else
      args.back().push_back(static_cast<char>(data[i]));
  }
  Settings s;
  const std::vector<std::string> errors = ParseCommandString(args, s);
  if (errors.size() > args.size()) std::abort();
  for (const std::string& e : errors)
    if (e.rfind("CommandLine ERROR(", 0) != 0) std::abort();
  if (s.NumHoles < 1 || s.NumHoles > 6) std::abort();
  if (s.NumBones < 0 || s.NumBones > kMaxBones) std::abort();
  for (int i = 0; i < 3; ++i)
    if (s.LogLevel[i] < 0 || s.LogLevel[i] > 5) std::abort();
  return 0;
}
