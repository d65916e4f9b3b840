#include "mkdemo.h"

#include "fncomm.h"
#include "fndb.h"
#include "fnpl.h"
#include "fnsong.h"
#include "fntl.h"
#include "mp3gen.h"
#include "string2.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

// Genres by ID3v1 number: 2 Country, 8 Jazz, 13 Pop, 17 Rock, 26 Ambient, 52 Electronic.
// The formats vary a little so that the track information dialog has something to show.
constexpr MKDEMOTRACK kTracks[] = {
    {"Harbour Lights - Night Ferry", "01 Low Tide.mp3", "Harbour Lights", "Low Tide", "Night Ferry", "1998", 17, 16, 1, 128, 44100, 1},
    {"Harbour Lights - Night Ferry", "02 Lanterns on the Quay.mp3", "Harbour Lights", "Lanterns on the Quay", "Night Ferry", "1998", 17, 18, 1, 128, 44100, 1},
    {"Harbour Lights - Night Ferry", "03 Salt Road.mp3", "Harbour Lights", "Salt Road", "Night Ferry", "1998", 17, 14, 1, 128, 44100, 1},
    {"Mira Okafor - Paper Moons", "01 Blue Hour.mp3", "Mira Okafor", "Blue Hour", "Paper Moons", "2003", 8, 19, 1, 192, 44100, 0},
    {"Mira Okafor - Paper Moons", "02 Tram at Midnight.mp3", "Mira Okafor", "Tram at Midnight", "Paper Moons", "2003", 8, 13, 1, 192, 44100, 0},
    {"Mira Okafor - Paper Moons", "03 Paper Moons.mp3", "Mira Okafor", "Paper Moons", "Paper Moons", "2003", 8, 17, 1, 192, 44100, 0},
    {"The Copper Kites - Weather Report", "01 Sunday Static.mp3", "The Copper Kites", "Sunday Static", "Weather Report", "2011", 13, 12, 1, 160, 48000, 1},
    {"The Copper Kites - Weather Report", "02 Umbrella Song.mp3", "The Copper Kites", "Umbrella Song", "Weather Report", "2011", 13, 15, 1, 160, 48000, 1},
    {"The Copper Kites - Weather Report", "03 Forecast.mp3", "The Copper Kites", "Forecast", "Weather Report", "2011", 13, 20, 1, 160, 48000, 1},
    {"Late Signals", "01 Northbound.mp3", "Arlo Vance", "Northbound", "Late Signals", "2016", 52, 18, 1, 256, 44100, 1},
    {"Late Signals", "02 Dust and Gold.mp3", "Sienna Marsh", "Dust and Gold", "Late Signals", "2016", 2, 14, 1, 128, 44100, 1},
    {"Late Signals", "03 Slow Orbit.mp3", "Quiet Engines", "Slow Orbit", "Late Signals", "2016", 26, 20, 2, 64, 22050, 3},
};

bool Fail(std::string* Error, const std::string& Message)
{
    if (Error != nullptr)
        *Error = Message;
    return false;
}

bool WriteTrack(const MKDEMOTRACK& Track, const std::string& FileName)
{
    MP3GENOPTIONS options;
    options.iVersion = Track.iVersion;
    options.lBitRate = Track.lBitRate;
    options.lSampleRate = Track.lSampleRate;
    options.iChannelMode = Track.iChannelMode;
    options.lDurationMs = Track.lSeconds * 1000;
    options.bTag = true;
    options.cTitle = Track.cTitle;
    options.cArtist = Track.cArtist;
    options.cAlbum = Track.cAlbum;
    options.cYear = Track.cYear;
    options.cComment = "Tandem demo";
    options.iStyle = Track.iStyle;
    return Mp3GenWrite(FileName.c_str(), options);
}

// The song as adding the file in the track list window makes it, under the
// name the program will open it by.
SONG* ReadTrack(const std::string& FileName, const std::string& WindowsName)
{
    SONG* song = SongCreate();
    if (song == nullptr)
        return nullptr;
    if (ReadSongInfos(FileName.c_str(), song, 1) != RSI_TAG || !StrCopy(song->Desc.cFileName, WindowsName)) {
        std::free(song);
        return nullptr;
    }
    StrCopy(song->Desc.cPlace, MKDEMO_PLACE);
    return song;
}

// Everything but the store; the caller owns db either way.
bool FillDatabase(DB* db, const std::string& Folder, const std::string& WindowsFolder, std::string* Error)
{
    PL* pl = PLSetName(DBGetCurrentPL(db), MKDEMO_PLAYLIST);
    std::string windowsBase = WindowsFolder;
    if (!windowsBase.empty() && windowsBase.back() != '\\')
        windowsBase += '\\';
    for (const MKDEMOTRACK& track : kTracks) {
        const std::filesystem::path folder = std::filesystem::path(Folder) / track.cFolder;
        const std::string fileName = (folder / track.cFile).string();
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error)
            return Fail(Error, "cannot create " + folder.string() + ": " + error.message());
        if (!WriteTrack(track, fileName))
            return Fail(Error, "cannot write " + fileName);
        const std::string windowsName = windowsBase + track.cFolder + '\\' + track.cFile;
        if (windowsName.size() > MAXL_SONGPATH)
            return Fail(Error, "the track path is longer than " + std::to_string(MAXL_SONGPATH) + " characters: " +
                                   windowsName);
        SONG* song = ReadTrack(fileName, windowsName);
        if (song == nullptr)
            return Fail(Error, "cannot read back " + fileName);
        TLAddSong(DBGetTL(db), song);
        PLAddSong(pl, song);
    }
    return true;
}

}  // namespace

std::span<const MKDEMOTRACK> MkDemoTracks() { return kTracks; }

bool MkDemoWrite(const std::string& Folder, const std::string& WindowsFolder, const std::string& DbPath,
                 std::string* Error)
{
    if (DbPath.size() > MAXL_DBPATH)
        return Fail(Error, "the database path is longer than " + std::to_string(MAXL_DBPATH) + " characters");
    DB db{};
    DBInit(&db);
    bool ok = FillDatabase(&db, Folder, WindowsFolder, Error);
    if (ok) {
        DBSetPath(&db, DbPath.c_str());
        ok = DBStore(&db) != 0 || Fail(Error, "cannot write the database " + DbPath);
    }
    DBFree(&db);
    return ok;
}
