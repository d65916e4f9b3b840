#include "fneff.h"

#include "string2.h"

#include <cstdlib>
#include <cstring>

char* EffGetTitle(const EFF* Effect, char* S) { return StrFormat(S, MAXL_EFFTITLE + 1, "%s [%d]", Effect->cName, Effect->ID); }

int EffGetID(const char* S)
{
    const char* bracket = S != nullptr ? std::strrchr(S, '[') : nullptr;
    return bracket != nullptr ? std::atoi(bracket + 1) : -1;
}

int EffStoreProc(void*, File&, void*) { return 1; }

int EffRestoreProc(void**, File&, void*) { return 1; }
