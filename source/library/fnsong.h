// The song (track) record: one audio file known to the database, with its
// tag texts, MPEG facts, place and the marks the user set on it.
//
// The track list owns every song (std::calloc / std::free). Text getters
// hand out pointers into the record or to constant texts; every getter
// accepts a null song and then gives the empty text or 0.
#pragma once

#include "fntime.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

struct LIST;

constexpr int MAXL_ARTIST = 40;
constexpr int MAXL_TITLE = 40;
constexpr int MAXL_ALBUM = 40;
constexpr int MAXL_YEAR = 4;
constexpr int MAXL_COMMENT = 40;
constexpr int MAXL_PLACE = 50;
constexpr int MAXL_SONGPATH = 256;
// A full title: "artist - title" (83) or "display name (!)" (199 + 4).
constexpr int MAXL_FILETITLE = 199;
constexpr int MAXL_FULLTITLE = MAXL_FILETITLE + 4;
constexpr int STYLE_NONE = 255;

struct SONG {
    struct {
        std::uint32_t iType;
        std::uint32_t lSize;
        std::uint32_t lLength;
        std::int32_t bHidden;
        std::int32_t bOnRemovable;
        std::int32_t bInfoNotRead;
    } General;
    struct {
        char cFileName[MAXL_SONGPATH + 1];
        char cArtist[MAXL_ARTIST + 1];
        char cTitle[MAXL_TITLE + 1];
        char cAlbum[MAXL_ALBUM + 1];
        char cYear[MAXL_YEAR + 1];
        char cComment[MAXL_COMMENT + 1];
        char cPlace[MAXL_PLACE + 1];
        std::int32_t iStyle;
    } Desc;
    struct {
        std::int32_t iVersion;
        std::int32_t iLayer;
        std::int32_t iChannels;
        std::uint32_t lSampleRate;
        std::uint32_t lBitRate;
        std::uint32_t lFrames;
        std::uint32_t lFrameSize;
    } MPegInfo;
    struct {
        TIME timMain;
        TIME timIntro;
        TIME timBeat;
        std::int32_t iNoBeats;
    } Bounds;
    // What measuring the decoded sound found (source/library/fnana); all
    // zero until then.
    struct {
        std::int32_t iState;     // ANA_NONE, ANA_DONE or ANA_UNDECODABLE
        std::int32_t iVersion;   // the ANA_VERSION that measured it
        std::int32_t iLoudness;  // integrated loudness, hundredths of LUFS; ANA_SILENT for none
        std::int32_t iPeak;      // sample peak, hundredths of dBFS; ANA_SILENT for none
        TIME timMusic;           // where the music starts and ends, ms
    } Analysis;
};

// A new song cleared to zero, with no genre; null when memory is short.
SONG* SongCreate();

const char* SongGetFileName(const SONG* Song);  // "!!! NO FILENAME !!!" when empty
const char* SongGetArtist(const SONG* Song);    // "!!! NO ARTIST !!!" when empty
const char* SongGetTitle(const SONG* Song);     // "!!! NO TITLE !!!" when empty
const char* SongGetAlbum(const SONG* Song);
const char* SongGetYear(const SONG* Song);
const char* SongGetComment(const SONG* Song);
const char* SongGetPlace(const SONG* Song);

int SongGetStyle(const SONG* Song);          // 255 for a null song
const char* SongGetStyleS(const SONG* Song);  // genre name, "Unknown" outside 0..115

std::uint32_t SongGetStart(const SONG* Song);
std::uint32_t SongGetEnd(const SONG* Song);
std::uint32_t SongGetLen(const SONG* Song);
std::uint32_t SongGetBeatOffs(const SONG* Song);
std::uint32_t SongGetBeatLen(const SONG* Song);

// The file name without its folders (and drive).
const char* SongGetDisplayName(const SONG* Song);

// Writes "artist - title", or "display name (!)" when both are empty, into
// Title (MAXL_FULLTITLE + 1 characters) and returns it.
char* SongGetFullTitle(const SONG* Song, char* Title);

// The warning for a track whose file is missing, into Msg (Size bytes): for a
// track on a removable medium it names Drive, the free drive to insert it
// into, or says that none is free (Drive 0).
void SongFormatMissing(const SONG* Song, char Drive, char* Msg, std::size_t Size);

// Songs by ID and IDs by song for one store or restore: references are
// resolved without walking the track list once per playlist item.
class SONGINDEX {
public:
    explicit SONGINDEX(LIST* tl);
    int IDOf(const SONG* Song) const;  // -1 for a song not in the list (or null)
    SONG* SongOf(int ID) const;        // null for an unknown ID

private:
    struct SLOT {
        const SONG* Song;
        int ID;
    };
    std::size_t Home(const SONG* Song) const;

    // IDs by song: open addressing with linear probing, one cache line per
    // look-up; the table is a power of two at least twice the track count.
    std::vector<SLOT> ids_;
    int shift_ = 64;
    // IDs of a list run from 0 up, so most are found by position; the rest
    // (only in a damaged file) by hashing, keeping the vector bounded.
    std::vector<SONG*> dense_;
    std::unordered_map<int, SONG*> sparse_;
};
