// The demo library: a dozen short tagged MP3 tracks in one folder per album,
// and a database that holds every track in its track list and all of them,
// in the same order, in its one playlist "Demo".
#pragma once

#include <span>
#include <string>

struct MKDEMOTRACK {
    const char* cFolder;  // the album's folder below the demo folder
    const char* cFile;
    const char* cArtist;
    const char* cTitle;
    const char* cAlbum;
    const char* cYear;
    int iStyle;
    unsigned lSeconds;
    int iVersion;  // MPEG version, as MP3GENOPTIONS takes it
    unsigned lBitRate;
    unsigned lSampleRate;
    int iChannelMode;
};

inline constexpr char MKDEMO_PLAYLIST[] = "Demo";
inline constexpr char MKDEMO_PLACE[] = "Demo library";

// The tracks in playlist order.
std::span<const MKDEMOTRACK> MkDemoTracks();

// Writes the tracks below Folder (folders are created, files replaced) and
// the database at DbPath. WindowsFolder is Folder as the program sees it
// ("Z:\..."); the songs' file names in the database start with it. On
// failure returns false and says why in *Error; files written so far stay.
bool MkDemoWrite(const std::string& Folder, const std::string& WindowsFolder, const std::string& DbPath,
                 std::string* Error);
