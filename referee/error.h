// The one way the referee's units report a failure: a value holding the
// sentence to show, returned as std::optional<Error> (empty on success).
#pragma once

#include <string>

struct Error {
  std::string text;  // one line, without line end, e.g. "pitsow: ..."
};
