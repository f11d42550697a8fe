/*
 * The starter with one change, a slightly better player for the sequential
 * test: of the moves that earn another move it plays the one nearest the
 * store first, since sowing it leaves the bones of the others where they
 * are, so they still earn theirs afterwards.
 */
#define PsGetTurn StarterGetTurn
#include "../../examples/starter/starter.c"
#undef PsGetTurn

PS_EXPORT int32_t PsGetTurn(const HoleRow MyHoles, const HoleRow OppHoles, int32_t MyStore,
                            int32_t OppStore) {
  for (int m = Holes; m >= 1; --m) {
    int again = 0;
    if (MyHoles[m - 1] > 0 && (Try(MyHoles, OppHoles, m, &again), again)) return m;
  }
  return StarterGetTurn(MyHoles, OppHoles, MyStore, OppStore);
}
