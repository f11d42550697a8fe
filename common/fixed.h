// Numbers as the tools print them: a fixed count of decimals, rounded as
// the referee's log rounds (halves away from zero, number_format.h), never
// "-0.0", and infinities and NaN in words.
#pragma once

#include <string>

// x with decimals places: "1.50", "inf", "-inf", "nan"; a value that rounds
// to zero prints without a sign.
std::string Fixed(double x, int decimals);

// The same with a sign always: "+1.50", "-0.25", "+inf".
std::string Signed(double x, int decimals);

// A duration in seconds as the faults' reports give it: three decimals.
std::string Seconds(double seconds);
