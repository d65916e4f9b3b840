#include "dbgen.h"

#include "fndb.h"
#include "fnpl.h"
#include "fnpli.h"
#include "fnpll.h"
#include "fnsong.h"
#include "fntl.h"
#include "string2.h"

#include <random>
#include <string>
#include <vector>

namespace {

constexpr const char* kFirstWords[] = {"Black",   "Silver", "Midnight", "Electric", "Velvet", "Northern", "Golden",
                                       "Crimson", "Hollow", "Static",   "Paper",    "Iron",   "Neon",     "Wild",
                                       "Lonely",  "Atomic", "Quiet",    "Broken",   "Royal",  "Lucky"};
constexpr const char* kSecondWords[] = {"Rivers",  "Engines", "Harbour", "Foxes",   "Satellites", "Orchestra", "Pilots",
                                        "Mirrors", "Strangers", "Lights", "Machines", "Brothers",  "Tigers",    "Echoes",
                                        "Saints",  "Gardens", "Horizon", "Parade",  "Ghosts",     "Radio"};
constexpr const char* kTitleWords[] = {
    "love",   "night",  "dance", "fire",  "rain",   "heart",  "city",  "summer", "dream",   "road",
    "light",  "train",  "blue",  "time",  "ocean",  "street", "gold",  "shadow", "morning", "party",
    "stars",  "home",   "wind",  "river", "sugar",  "money",  "angel", "thunder", "window", "fever"};
constexpr const char* kMixes[] = {"", "", "", "", "Radio Edit", "Extended Mix", "Live", "Remastered", "Club Mix"};
constexpr const char* kComments[] = {"", "", "ripped from CD", "vinyl transfer", "promo copy", "bought online",
                                     "request list", "check the ending"};
constexpr const char* kItemDescs[] = {"opener", "slow one", "after midnight", "requests", "fade early", "encore"};
constexpr unsigned kBitRates[] = {128, 160, 192, 224, 256, 320};
constexpr unsigned kSampleRates[] = {44100, 44100, 44100, 48000, 32000};

using Rng = std::mt19937;

// rng() % n rather than a distribution: mt19937's output is the same on
// every standard library, the distributions are not.
unsigned Below(Rng& rng, unsigned n) { return static_cast<unsigned>(rng() % n); }

template <class T, std::size_t N>
T Pick(Rng& rng, const T (&pool)[N])
{
    return pool[Below(rng, N)];
}

std::string Capitalised(const char* word)
{
    std::string text = word;
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

std::string Words(Rng& rng, unsigned count)
{
    std::string text;
    for (unsigned i = 0; i < count; ++i) {
        if (i != 0)
            text += ' ';
        text += Capitalised(Pick(rng, kTitleWords));
    }
    return text;
}

struct Artist {
    std::string name;
    std::vector<std::string> albums;
};

std::vector<Artist> Artists(Rng& rng, int tracks)
{
    constexpr std::size_t kPairs = std::size(kFirstWords) * std::size(kSecondWords);
    std::vector<Artist> artists(static_cast<std::size_t>(tracks / 40 + 1));
    for (std::size_t i = 0; i < artists.size(); ++i) {
        const std::size_t first = i % std::size(kFirstWords);
        const std::size_t second = i / std::size(kFirstWords) % std::size(kSecondWords);
        std::string& name = artists[i].name;
        name = "The ";
        name.append(kFirstWords[first]).append(" ").append(kSecondWords[second]);
        if (i >= kPairs)
            name.append(" ").append(std::to_string(i / kPairs + 1));
        for (unsigned a = 0, n = 1 + Below(rng, 4); a < n; ++a)
            artists[i].albums.push_back(Words(rng, 1 + Below(rng, 3)));
    }
    return artists;
}

SONG* NewSong(Rng& rng, const std::vector<Artist>& artists, int number)
{
    SONG* song = SongCreate();
    if (song == nullptr)
        return nullptr;
    const Artist& artist = artists[Below(rng, static_cast<unsigned>(artists.size()))];
    const std::string& album = artist.albums[Below(rng, static_cast<unsigned>(artist.albums.size()))];
    const unsigned year = 1962 + Below(rng, 63);
    std::string title = Words(rng, 1 + Below(rng, 4));
    if (const std::string mix = Pick(rng, kMixes); !mix.empty())
        title.append(" (").append(mix).append(")");
    const bool removable = Below(rng, 10) == 0;
    char path[MAXL_SONGPATH + 1];
    StrFormat(path, sizeof path, "%s\\%s\\%u - %s\\%02u %s.mp3", removable ? "E:" : "D:\\Music", artist.name.c_str(),
              year, album.c_str(), 1 + Below(rng, 16), title.c_str());
    StrCopy(song->Desc.cFileName, path);
    // One song in twenty has no tag: its title comes from the file name.
    if (Below(rng, 20) != 0) {
        StrCopy(song->Desc.cArtist, artist.name);
        StrCopy(song->Desc.cTitle, title);
        StrCopy(song->Desc.cAlbum, album);
        StrFormat(song->Desc.cYear, sizeof song->Desc.cYear, "%u", year);
        StrCopy(song->Desc.cComment, Pick(rng, kComments));
        song->Desc.iStyle = static_cast<int>(Below(rng, 116));
    }
    if (removable)
        StrFormat(song->Desc.cPlace, sizeof song->Desc.cPlace, "CD case %u, disc %u", 1 + number / 400,
                  1 + Below(rng, 12));

    const std::uint32_t length = 90000 + Below(rng, 420000);
    const unsigned bitRate = Pick(rng, kBitRates);
    const unsigned sampleRate = Pick(rng, kSampleRates);
    song->General.lLength = length;
    song->General.lSize = static_cast<std::uint32_t>(std::uint64_t{length} * bitRate / 8);
    song->General.bHidden = Below(rng, 50) == 0;
    song->General.bOnRemovable = removable;
    song->MPegInfo.iVersion = 1;
    song->MPegInfo.iLayer = 3;
    song->MPegInfo.iChannels = static_cast<int>(Below(rng, 4));
    song->MPegInfo.lSampleRate = sampleRate;
    song->MPegInfo.lBitRate = bitRate;
    song->MPegInfo.lFrameSize = 144000 * bitRate / sampleRate;
    song->MPegInfo.lFrames = static_cast<std::uint32_t>(std::uint64_t{length} * sampleRate / 1152 / 1000);
    song->Bounds.timMain = {Below(rng, 3000), length - Below(rng, 8000)};
    song->Bounds.timIntro = {song->Bounds.timMain.lStart, song->Bounds.timMain.lStart + 5000 + Below(rng, 25000)};
    const std::uint32_t beat = 30000 + Below(rng, 60000);
    song->Bounds.timBeat = {beat, beat + 8000 + Below(rng, 4000)};
    song->Bounds.iNoBeats = 16;
    return song;
}

// A few items carry their own description and overrides, as a user's would.
void Decorate(Rng& rng, PLI* pli)
{
    if (Below(rng, 8) != 0)
        return;
    StrCopy(pli->cDesc, Pick(rng, kItemDescs));
    pli->UpdFlag.bVolume = 1;
    pli->Override.iVolume = static_cast<int>(160 + Below(rng, 96));
    pli->UpdFlag.bFade = 1;
    pli->Override.lFadeLen = 2000 + Below(rng, 8000);
    pli->Override.iFadeType = static_cast<int>(Below(rng, 3));
    pli->Option.iFade = OPTION_ON;
}

}  // namespace

bool DbGenFill(DB* db, const DBGENOPTIONS& Options)
{
    DBFree(db);
    Rng rng(Options.uSeed);
    const std::vector<Artist> artists = Artists(rng, Options.iTracks);
    std::vector<SONG*> songs;
    songs.reserve(static_cast<std::size_t>(Options.iTracks > 0 ? Options.iTracks : 0));
    for (int i = 0; i < Options.iTracks; ++i) {
        SONG* song = NewSong(rng, artists, i);
        if (song == nullptr)
            return false;
        TLAddSong(DBGetTL(db), song);
        songs.push_back(song);
    }
    for (int p = 0; p < Options.iPlaylists; ++p) {
        char name[MAXL_PLNAME + 1];
        StrFormat(name, sizeof name, "%02d %s", p + 1, Words(rng, 2).c_str());
        PL* pl = PLCreate(name);
        if (pl == nullptr)
            return false;
        PLLAddPL(DBGetPLL(db), pl);
        const int items = Options.iItems / Options.iPlaylists + (p < Options.iItems % Options.iPlaylists ? 1 : 0);
        for (int i = 0; i < items && !songs.empty(); ++i) {
            PLI* pli = PLICreate(songs[Below(rng, static_cast<unsigned>(songs.size()))]);
            if (pli == nullptr)
                return false;
            Decorate(rng, pli);
            PLAddPLI(pl, pli);
        }
        PLSetCurrentPLI(pl, PLGetFirstPLI(pl));
    }
    DBSetCurrentPL(db, static_cast<PL*>(ListGetFirstItem(DBGetPLL(db))));
    return true;
}
