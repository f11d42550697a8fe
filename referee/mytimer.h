// MYTIMER: the referee's high-resolution clock, in extended-precision
// seconds since the unit started (before main runs).
#pragma once

// Takes the start reading; runs once from the unit's start-up code.
void InitTimerQ();

// Seconds since InitTimerQ, from a fresh monotonic reading.
long double GetTimer_Q();
