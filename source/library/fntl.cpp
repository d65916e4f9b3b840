#include "fntl.h"

#include "fnsong.h"

void TLAddSong(LIST* tl, SONG* Song) { ListAddItem(tl, Song); }
void TLFreeSong(LIST* tl, SONG* Song) { ListFreeItem(tl, Song, nullptr); }
void TLFree(LIST* tl) { ListFree(tl, nullptr); }
int TLGetCount(LIST* tl) { return ListGetCount(tl); }
int TLGetTotal(LIST* tl) { return ListGetTotal(tl); }
SONG* TLGetFirstSong(LIST* tl) { return static_cast<SONG*>(ListGetFirstItem(tl)); }
SONG* TLGetLastSong(LIST* tl) { return static_cast<SONG*>(ListGetLastItem(tl)); }
SONG* TLGetCurrentSong(LIST* tl) { return static_cast<SONG*>(ListGetCurrentItem(tl)); }
int TLSetCurrentSong(LIST* tl, SONG* Song) { return ListSetCurrentItem(tl, Song); }
int TLSetCurrentSongByID(LIST* tl, int ID) { return ListSetCurrentItemByID(tl, ID); }
SONG* TLFindFirstSong(LIST* tl, LISTITEM** Key) { return static_cast<SONG*>(ListFindFirstItem(tl, Key)); }
SONG* TLFindNextSong(LIST* tl, LISTITEM** Key) { return static_cast<SONG*>(ListFindNextItem(tl, Key)); }
SONG* TLFindLastSong(LIST* tl, LISTITEM** Key) { return static_cast<SONG*>(ListFindLastItem(tl, Key)); }
SONG* TLFindCurrentSong(LIST* tl, LISTITEM** Key) { return static_cast<SONG*>(ListFindCurrentItem(tl, Key)); }
