// The playlist list: every playlist of the database; its current item is
// the current playlist (the one the playlist editor shows and the mixer plays).
#pragma once

#include "list.h"

class File;
struct PL;

void PLLAddPL(LIST* lst, PL* pl);
PL* PLLGetCurrentPL(LIST* lst);
int PLLSetCurrentPL(LIST* lst, PL* pl);
// The first playlist named exactly Name, or null.
PL* PLLExistsPL(LIST* lst, const char* Name);
int PLLCompProcFindByName(LIST* List, void* Data, void* Value, int Option);
// Frees every playlist with its items.
void PLLFree(LIST* lst);
// Param: the song index of the store or restore in progress (see fndb).
int PLLStore(LIST* lst, File& File, void* Param);
int PLLRestore(LIST* lst, File& File, void* Param);
