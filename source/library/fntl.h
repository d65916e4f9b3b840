// The track list: every song of the database, in the order they were added.
// A song is hidden by its own flag (General.bHidden), never by the list's.
#pragma once

#include "list.h"

class File;
struct SONG;

void TLAddSong(LIST* tl, SONG* Song);
// Removes and frees the song; every item referring to it must be gone first.
void TLFreeSong(LIST* tl, SONG* Song);
void TLFree(LIST* tl);
int TLGetCount(LIST* tl);
int TLGetTotal(LIST* tl);
SONG* TLGetFirstSong(LIST* tl);
SONG* TLGetLastSong(LIST* tl);
SONG* TLGetCurrentSong(LIST* tl);
int TLSetCurrentSong(LIST* tl, SONG* Song);
int TLSetCurrentSongByID(LIST* tl, int ID);
SONG* TLFindFirstSong(LIST* tl, LISTITEM** Key);
SONG* TLFindNextSong(LIST* tl, LISTITEM** Key);
SONG* TLFindLastSong(LIST* tl, LISTITEM** Key);
SONG* TLFindCurrentSong(LIST* tl, LISTITEM** Key);
