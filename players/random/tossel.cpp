// The exports of the Tossel player library: one instance of the random
// player per loaded copy of the library.
#include "PsComm.h"
#include "tossel_core.h"

namespace {
Tossel instance;
}

extern "C" {

PS_EXPORT PsBool PsInit(PsInfo* Info) { return TosselInit(instance, Info, UtcNow()); }

PS_EXPORT int32_t PsGetTurn(const HoleRow MyHoles, const HoleRow, int32_t, int32_t) {
  return TosselGetTurn(instance, MyHoles);
}

PS_EXPORT void PsOppTurn(int32_t Hole) { TosselOppTurn(instance, Hole); }

PS_EXPORT void PsEndRound(int32_t My, int32_t Opp, int32_t Turns) {
  TosselEndRound(instance, My, Opp, Turns);
}

PS_EXPORT void PsDone(void) { TosselDone(instance); }
}
