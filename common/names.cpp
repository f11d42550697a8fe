#include "names.h"

#include <string.h>

std::string SignalName(int sig) {
  const char* abbrev = sigabbrev_np(sig);
  return abbrev != nullptr ? std::string("SIG") + abbrev : "signal " + std::to_string(sig);
}
