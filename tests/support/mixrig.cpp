#include "mixrig.h"

#include "defs.h"
#include "fndb.h"
#include "fnmain.h"
#include "fnmix.h"
#include "fnpl.h"
#include "fnsong.h"
#include "fnthr.h"
#include "fntl.h"
#include "string2.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace fake {

namespace {

std::string FreshDir()
{
    static std::atomic<int> counter{0};
    const auto dir = std::filesystem::temp_directory_path() /
                     ("tandem-mix-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(dir);
    return dir.string();
}

}  // namespace

MixRig::MixRig() : dir_(FreshDir())
{
    StateReset();
    FadeMixerReset();
    ShowStatusReset();
    DBFree(MainGetDB());
    DBInit(MainGetDB());
    InitWAmpInstances();
    InitConfig();
    panel = std::make_unique<PanelSink>();
}

MixRig::~MixRig()
{
    panel.reset();
    DBFree(MainGetDB());
    StateReset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

SONG* MixRig::AddSong(const std::string& name, std::uint32_t length, std::uint32_t start, std::uint32_t end)
{
    const std::string path = PathOf(name);
    std::ofstream(path) << "audio";
    players.SetLength(path, length);
    SONG* song = SongCreate();
    StrCopy(song->Desc.cFileName, path.c_str());
    StrCopy(song->Desc.cArtist, "Artist");
    StrCopy(song->Desc.cTitle, name.c_str());
    song->General.lLength = length;
    song->Bounds.timMain = {start, end != 0 ? end : length};
    song->Bounds.iNoBeats = 1;
    TLAddSong(DBGetTL(MainGetDB()), song);
    return song;
}

PLI* MixRig::AddItem(const std::string& name, std::uint32_t length, std::uint32_t start, std::uint32_t end)
{
    return PLAddSong(MainGetCurrentPL(), AddSong(name, length, start, end));
}

void MixRig::Pass()
{
    ShowStatus();
    MainMixer();
}

void MixRig::Run(std::uint32_t Ms, std::uint32_t Step)
{
    for (std::uint32_t t = 0; t < Ms; t += Step) {
        Clock().Advance(Step);
        Pass();
    }
}

void MixRig::RunUntilPos(int Slot, std::int32_t Pos, std::uint32_t Step, std::uint32_t Limit)
{
    for (std::uint32_t t = 0; Player(Slot).Position() < Pos; t += Step) {
        ASSERT_LT(t, Limit) << "slot " << Slot << " never reached " << Pos;
        Clock().Advance(Step);
        Pass();
    }
}

void MixRig::StartWith(PLI* First)
{
    StateSetFade(0);
    StateSetDuo(0);
    MixSetNextPLI(Panel(), First);
    MixNext(Panel());
}

}  // namespace fake
