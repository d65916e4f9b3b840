#include "mixrig.h"

#include "defs.h"
#include "dlghooks.h"
#include "fndb.h"
#include "fnmix.h"
#include "fnsong.h"
#include "fntl.h"
#include "string2.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

// The window globals and hooks that the window modules define in tandem.exe.
STATUSWINDOWS StatusWindows;
std::atomic<HWND> hwndTT{nullptr};
std::atomic<HWND> hwndPLI{nullptr};

namespace {

std::atomic<fake::PanelSink*> ActiveSink{nullptr};

void Hook(const std::string& call)
{
    if (fake::PanelSink* sink = ActiveSink)
        sink->Hook(call);
}

}  // namespace

void DlgMainSetTestPlayerState(int Playing) { Hook("busy " + std::to_string(Playing)); }
void DlgTTFreshTestPos(const char* Pos) { Hook(std::string("tt ") + Pos); }
void DlgTTBeatTest(unsigned Pos) { Hook("beat " + std::to_string(Pos)); }
void DlgPLIFreshTestPos(const char* PosS) { Hook(std::string("pli ") + PosS); }

namespace fake {

PanelSink::PanelSink()
{
    hwnd_ = CreateWindow("#32770", [this](UINT msg, WPARAM wParam, LPARAM lParam) {
        {
            std::lock_guard lock(mutex_);
            messages_.push_back({msg, wParam, lParam});
        }
        if (msg == MIXMSG_VOLUME)
            MixSetVolume(static_cast<int>(wParam), static_cast<int>(lParam));
        else if (msg == MIXMSG_CHANGE)
            MixOnChangeMsg(wParam, lParam);
        return LRESULT{0};
    });
    for (auto [global, control] : {std::pair{&StatusWindows.hwndTBSONGPOS, &songPos}, {&StatusWindows.hwndEDELAPSED, &elapsed},
                                   {&StatusWindows.hwndSTREMAINING, &remainingLabel}, {&StatusWindows.hwndEDREMAINING, &remaining},
                                   {&StatusWindows.hwndEDSTATUS, &status}, {&StatusWindows.hwndRBBEAT1, &beat1}, {&StatusWindows.hwndRBBEAT2, &beat2}})
        *global = control->hwnd();
    ActiveSink = this;
    MixSetDestWindow(hwnd_);
}

PanelSink::~PanelSink()
{
    MixSetDestWindow(nullptr);
    ActiveSink = nullptr;
    StatusWindows = {};
    hwndTT = hwndPLI = nullptr;
    DestroyWindow(hwnd_);
}

MixRig::MixRig()
{
    static std::atomic<int> counter{0};
    dir_ = ScratchPath("tandem-mix-" + std::to_string(counter++) + "-");
    std::filesystem::create_directories(dir_);
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

void MixRig::SetFades(int Fade, int Type, std::uint32_t FadeLen, int Duo, std::uint32_t DuoLen)
{
    StateSetFade(Fade);
    StateSetFadeType(Type);
    StateSetFadeLen(FadeLen);
    StateSetDuo(Duo);
    StateSetDuoLen(DuoLen);
    MixRecalcBeat(StateGetNextPLI());
}

}  // namespace fake
