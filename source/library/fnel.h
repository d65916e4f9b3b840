// The effect list. The database file does not contain it: ELStore writes
// the list with empty records where it is asked to, ELRestore reads nothing.
#pragma once

#include "list.h"

class File;

int ELStore(LIST* List, File& File);
int ELRestore(LIST* List, File& File);
