// The sowing rule played bone by bone and lap by lap, as the rule is told:
// the yardstick that the rules header's whole-lap sowing must match exactly.
#pragma once

#include "pitsow/rules.h"

inline PsSowing ReferenceSow(HoleRow& my, HoleRow& opp, int32_t& store, int32_t n, int32_t m) {
  PsSowing result{};
  int64_t hand = my[m - 1];
  my[m - 1] = 0;
  int32_t start = m + 1;
  do {
    result.ExtraMove = false;
    for (int32_t i = 1; i <= n; ++i) {
      if (i < start || hand == 0) continue;
      ++my[i - 1];
      if (--hand == 0 && my[i - 1] == 1 && opp[n - i] >= 1) {
        store += opp[n - i] + 1;
        opp[n - i] = 0;
        my[i - 1] = 0;
        result.Captured = i;
      }
    }
    start = 1;
    if (hand > 0) {
      ++store;
      if (--hand == 0) result.ExtraMove = true;
    }
    for (int32_t i = 1; i <= n && hand > 0; ++i, --hand) ++opp[i - 1];
  } while (hand > 0);
  return result;
}
