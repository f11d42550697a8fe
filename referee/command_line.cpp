#include "command_line.h"

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// A value the board and the bone count can carry.
bool WithinLimits(char letter, int32_t v) {
  if (letter == 'H') return v >= 1 && v <= 6;
  if (letter == 'B') return v >= 0 && v <= kMaxBones;
  return true;
}

std::string Bracketed(std::string_view head, std::string_view a, std::string_view b) {
  std::string line = "CommandLine ERROR(";
  line.append(head).append("</").append(a).append(":").append(b).append(">");
  return line;
}

}  // namespace

std::vector<std::string> ParseCommandString(const std::vector<std::string>& args,
                                            Settings& settings) {
  std::vector<std::string> errors;
  for (const std::string& arg : args) {
    if (arg.size() < 3 || arg[0] != '/' || (arg[2] != ':' && arg[2] != '=')) {
      errors.push_back("CommandLine ERROR(6): wrong format:<" + arg + ">");
      continue;
    }
    const std::string_view typed(arg.data() + 1, 1);
    const std::string_view value = std::string_view(arg).substr(3);
    const char letter = Upper(arg[1]);
    switch (letter) {
      case 'H':
      case 'B':
      case 'R':
      case 'T': {
        const std::optional<int32_t> v = ParseInteger(value);
        if (!v || !WithinLimits(letter, *v)) {
          errors.push_back(Bracketed("1): wrong Value:", typed, value));
          break;
        }
        int32_t& target = letter == 'H'   ? settings.NumHoles
                          : letter == 'B' ? settings.NumBones
                          : letter == 'R' ? settings.NumRounds
                                          : settings.MaxTurns;
        target = *v;
        break;
      }
      case 'F':
        settings.OutFile = std::string(value);
        break;
      case 'L':
        if (value.size() >= 2 && value[0] >= '0' && value[0] <= '2' && value[1] >= '0' &&
            value[1] <= '5')
          settings.LogLevel[value[0] - '0'] = value[1] - '0';
        else
          errors.push_back(Bracketed("2): wrong L option format:", typed, value));
        break;
      case 'P': {
        if (value.size() < 2 || (value[0] != '1' && value[0] != '2') ||
            (value[1] != ':' && value[1] != '=')) {
          errors.push_back("CommandLine ERROR(4): wrong P option format:<" + std::string(value) +
                           ">");
          break;
        }
        std::string number(value.substr(2));
        if (!number.empty() && number.back() == 'h') {
          number.pop_back();
          number.insert(number.begin(), '$');
        }
        if (const std::optional<int32_t> v = ParseInteger(number))
          settings.Params[value[0] - '0'] = *v;
        else
          errors.push_back(Bracketed("3): wrong Value:", value.substr(0, 1), number));
        break;
      }
      default:
        errors.push_back(Bracketed("5): unknown parameter:", typed, value));
        break;
    }
  }
  return errors;
}

bool WantsHelp(const std::vector<std::string>& args) {
  for (const std::string& arg : args)
    if (arg == "--help" || arg == "-h") return true;
  return false;
}

std::string UsageText() {
  const char* lines[] = {
      "Usage: pitsow [/OPTION:VALUE]...",
      "Referees a match between the player libraries PsPlayer1.so and PsPlayer2.so.",
      "",
      "Options (letters in either case, ':' or '=' after the letter):",
      "  /H=n       holes per side, 1 to 6                 (default 6)",
      "  /B=n       bones per hole, 0 to 178956970         (default 6)",
      "  /R=n       rounds in the match                    (default 1)",
      "  /T=n       turn limit of a round                  (default 300)",
      "  /F=name    log file; empty: the log goes to standard output",
      "                                                    (default PsLog.txt)",
      "  /L=ix      log level x (0 to 5) of the referee (i=0) or player i (1, 2)",
      "                                                    (default 3 each)",
      "  /P=i:n     parameter n of player i (1, 2); n may end in h for hexadecimal",
      "                                                    (default 0 each)",
      "Integers: decimal, $hexadecimal or %binary, with an optional sign.",
      "",
      "Players are looked for first in the folder of the pitsow executable,",
      "then on the loader's search path (LD_LIBRARY_PATH and the system's).",
      "",
      "Exit status: 0 complete match, 1 a player cannot play,",
      "             2 a player library or entry point missing or unusable,",
      "             3 an input/output failure, 4 a player ended the process in a call,",
      "             128 + signal: a player died of that signal in a call.",
  };
  std::string text;
  for (const char* line : lines) text.append(line).append("\r\n");
  return text;
}
