// The one way every library reports a failure: a value holding the sentence
// to show. A step with nothing to give back returns std::optional<Error>
// (empty on success); a step that gives back a value returns Result<T>,
// holding either the value or the Error. Only a program's main() turns an
// Error into an exit status.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

struct Error {
  std::string text;  // one line, without line end, e.g. "pitsow: ..."
  int status = 0;    // the exit status it calls for where that is not the caller's choice; 0: none
};

template <class T>
class Result {
 public:
  Result(T value) : held_(std::move(value)) {}  // NOLINT: implicit, so `return value;` works
  Result(Error error)
      : held_(std::move(error)) {}  // NOLINT: implicit, so `return Error{...};` works

  bool ok() const { return held_.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& value() { return std::get<0>(held_); }
  const T& value() const { return std::get<0>(held_); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const Error& error() const { return std::get<1>(held_); }

 private:
  std::variant<T, Error> held_;
};
