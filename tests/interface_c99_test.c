/* The interface header compiles as strict C99; a C player needs only it. */
#include "PsComm.h"

static PsBool Init(PsInfo *Info) { return Info->Size >= PS_INFO_SIZE; }

int main(void) {
  PsInfo info = {0};
  PsInitProc init = Init;
  info.Size = PS_INFO_SIZE;
  return init(&info) ? 0 : 1;
}
