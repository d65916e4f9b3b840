#include "fntl.h"

#include "fnana.h"
#include "fnsong.h"

#include <cmath>
#include <cstring>
#include <limits>

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

namespace {

// The column whose text decides between rows equal in the sorted column.
constexpr int SecondaryKey[TL_COLUMNS] = {1, 0, 1, 3, 0, 0, 0, 0, 0, 0, 0};

double LoudnessKey(const SONG* Song)
{
    const double loudness = AnaGetLoudness(Song);
    return std::isnan(loudness) ? std::numeric_limits<double>::infinity() : loudness;
}

int Compare(const SONG* Song1, const SONG* Song2, int Column)
{
    char text1[MAXL_TLCOLUMNTEXT + 1];
    char text2[MAXL_TLCOLUMNTEXT + 1];
    if (Column == TL_COLUMN_LOUDNESS) {
        const double a = LoudnessKey(Song1);
        const double b = LoudnessKey(Song2);
        return (a > b) - (a < b);
    }
    return std::strcmp(TLGetColumnText(Song1, Column, text1), TLGetColumnText(Song2, Column, text2));
}

}  // namespace

const char* TLGetColumnText(const SONG* Song, int Column, char* Buffer)
{
    switch (Column) {
    case 0: return SongGetArtist(Song);
    case 1: return SongGetTitle(Song);
    case 2: return SongGetAlbum(Song);
    case 3: return SongGetComment(Song);
    case 4: return SongGetPlace(Song);
    case 5: return SongGetStyleS(Song);
    case 6: return SongGetYear(Song);
    case 7: return Song != nullptr && Song->General.bHidden ? "+" : "";
    case 8: return Song != nullptr && Song->General.bOnRemovable ? "R" : "F";
    case 9: return SongGetFileName(Song);
    case 10: return AnaFormatLoudness(Song, Buffer, MAXL_TLCOLUMNTEXT + 1);
    default: return nullptr;
    }
}

int TLCompareAlphabetic(const SONG* Song1, const SONG* Song2, int Key)
{
    const bool descending = Key >= TL_DESCENDING;
    const int column = Key % TL_DESCENDING;
    if (Song1 == nullptr || Song2 == nullptr || column < 0 || column >= TL_COLUMNS)
        return 0;
    if (column == TL_COLUMN_HIDDEN)
        return -1;
    int result = Compare(Song1, Song2, column);
    if (result == 0)
        result = Compare(Song1, Song2, SecondaryKey[column]);
    const int sign = (result > 0) - (result < 0);
    return descending ? -sign : sign;
}
