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

// ---- the track table's columns ----

// Artist, Title, Album, Comment, Place, Style, Year, H(idden), D(rive),
// Filename, Loudness (as measured).
constexpr int TL_COLUMNS = 11;
constexpr int TL_COLUMN_HIDDEN = 7;
constexpr int TL_COLUMN_LOUDNESS = 10;
constexpr int MAXL_TLCOLUMNTEXT = 40;  // a column text made for the row
// Added to a column for the descending order of a sort key.
constexpr int TL_DESCENDING = 256;

// The text of column Column for Song, made in Buffer (MAXL_TLCOLUMNTEXT + 1
// characters) where it is not the record's own; null for another column.
const char* TLGetColumnText(const SONG* Song, int Column, char* Buffer);
// The table's order by Key (a column, plus TL_DESCENDING): byte-wise by the
// column's text, ties by a second column's; loudness by its number, quietest
// first, tracks not measured last; column "H" orders nothing and gives -1
// for every pair, a null song 0.
int TLCompareAlphabetic(const SONG* Song1, const SONG* Song2, int Key);
