#include "fnel.h"

#include "fneff.h"

int ELStore(LIST* List, File& File) { return ListStore(List, File, EffStoreProc, nullptr); }

int ELRestore(LIST*, File&) { return 1; }
