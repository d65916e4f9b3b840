#include "dlgtt.h"

#include "defs.h"
#include "dlgcomm.h"
#include "dlghooks.h"
#include "fnana.h"
#include "fnmix.h"
#include "fnsong.h"
#include "resource.h"
#include "string2.h"
#include "winamp.h"
#include "wm.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <new>

std::atomic<HWND> hwndTT{nullptr};

namespace {

constexpr int MAXI_MARKS = 3;  // main part, intro, rhythm section
constexpr int TEST_BEGIN = 0;
constexpr int TEST_FINISH = 1;
constexpr int TEST_FULL = 2;
constexpr std::uint32_t FINISH_LEAD = 5000;  // "Finish" plays the last five seconds
constexpr int MAXL_TIMEFIELD = 10;
constexpr int MAXL_BEATSFIELD = 3;
constexpr int MAXL_INFOLINE = 120;
constexpr DWORD WATCH_POLL_MS = 5;

SONG* TTData;
SONG TTDataEdit;
// Only the information thread uses it.
std::int32_t OldBeat = -1;
// Every test and Stop starts a new generation; a watcher of an older one
// ends without touching the player, so it cannot stop a later test.
std::atomic<unsigned> TestGeneration{0};

constexpr int Sliders[MAXI_MARKS] = {TB0, TB1, TB2};
constexpr int Starts[MAXI_MARKS] = {EDSTART0, EDSTART1, EDSTART2};
constexpr int Ends[MAXI_MARKS] = {EDEND0, EDEND1, EDEND2};
constexpr int Lengths[MAXI_MARKS] = {EDLEN0, EDLEN1, EDLEN2};
constexpr int Positions[MAXI_MARKS] = {EDPOS0, EDPOS1, EDPOS2};

constexpr int ACTION_STARTPT = -2;
constexpr int ACTION_ENDPT = -1;  // 0 and above: a test type

struct MARKCOMMAND {
    int Id;
    int Mark;
    int Action;
};

constexpr MARKCOMMAND MarkCommands[] = {
    {BTST0, 0, ACTION_STARTPT},    {BTEND0, 0, ACTION_ENDPT},     {BTTEST0, 0, TEST_BEGIN},
    {BTTESTFI0, 0, TEST_FINISH},   {BTTESTFU0, 0, TEST_FULL},     {BTST1, 1, ACTION_STARTPT},
    {BTEND1, 1, ACTION_ENDPT},     {BTTEST1, 1, TEST_BEGIN},      {BTTESTFI1, 1, TEST_FINISH},
    {BTTESTFU1, 1, TEST_FULL},     {BTST2, 2, ACTION_STARTPT},    {BTEND2, 2, ACTION_ENDPT},
    {BTTEST2, 2, TEST_BEGIN},      {BTTESTFI2, 2, TEST_FINISH},   {BTTESTFU2, 2, TEST_FULL},
};

struct TESTWATCH {
    std::uint32_t* EndPos;
    unsigned Generation;
};

// The marks and the number of beats are read by the watcher and the
// information thread while this thread may change them.
template <class T>
T Load(T& Field)
{
    return std::atomic_ref<T>(Field).load(std::memory_order_relaxed);
}

template <class T>
void Store(T& Field, T Value)
{
    std::atomic_ref<T>(Field).store(Value, std::memory_order_relaxed);
}

HWND Control(int Id) { return GetDlgItem(hwndTT.load(), Id); }

void SetTimeField(int Id, std::uint32_t Ms)
{
    char S[20];
    WMSetText(Control(Id), strtimefrmt(static_cast<int>(Ms), S, 1, 0));
}

void DlgTTGetMinMaxPtr(int Idx, std::uint32_t** Min, std::uint32_t** Max)
{
    TIME* marks[MAXI_MARKS] = {&TTDataEdit.Bounds.timMain, &TTDataEdit.Bounds.timIntro, &TTDataEdit.Bounds.timBeat};
    *Min = &marks[Idx]->lStart;
    *Max = &marks[Idx]->lEnd;
}

void DlgTTSetSliderSelection(int Idx, std::uint32_t Min, std::uint32_t Max)
{
    TBMSetSel(Control(Sliders[Idx]), static_cast<int>(Min / 1000), static_cast<int>(Max / 1000));
    SetTimeField(Starts[Idx], Min);
    SetTimeField(Ends[Idx], Max);
    SetTimeField(Lengths[Idx], Max - Min);
}

void DlgTTSetSliderPos(int Idx, int Pos, int Redraw)
{
    TBMSetPos(Control(Sliders[Idx]), Redraw, Pos);
    SetTimeField(Positions[Idx], static_cast<std::uint32_t>(Pos) * 1000);
}

int MarkOfSlider(int Id) { return Id == TB0 ? 0 : Id == TB1 ? 1 : 2; }

void DlgTTHScroll(LPARAM lParam)
{
    const HWND slider = reinterpret_cast<HWND>(lParam);
    const int idx = MarkOfSlider(GetDlgCtrlID(slider));
    SetTimeField(Positions[idx], static_cast<std::uint32_t>(TBMGetPos(slider)) * 1000);
}

// Keeps the mark's start strictly below its end.
void DlgTTSetSliderPoint(int Idx, int EndPt)
{
    const std::uint32_t P = static_cast<std::uint32_t>(TBMGetPos(Control(Sliders[Idx]))) * 1000;
    std::uint32_t* min;
    std::uint32_t* max;
    DlgTTGetMinMaxPtr(Idx, &min, &max);
    if (EndPt ? *min >= P : *max <= P)
        return;
    Store(EndPt ? *max : *min, P);
    DlgTTSetSliderSelection(Idx, *min, *max);
}

// "m:s:ms"; anything else leaves the mark as it was.
void ReadTimeField(int Id, std::uint32_t* Mark)
{
    char S[MAXL_TIMEFIELD + 1];
    int m = 0;
    int s = 0;
    int ms = 0;
    if (std::sscanf(WMGetText(Control(Id), sizeof S, S), "%d:%d:%d", &m, &s, &ms) == 3)
        Store(*Mark, static_cast<std::uint32_t>(m) * 60000u + static_cast<std::uint32_t>(s) * 1000u +
                         static_cast<std::uint32_t>(ms));
}

void ReadBeats(int Length)
{
    char S[MAXL_TIMEFIELD + 1];
    int beats = TTDataEdit.Bounds.iNoBeats;
    if (std::sscanf(WMGetText(Control(EDBEATS), Length + 1, S), "%d", &beats) == 1)
        Store(TTDataEdit.Bounds.iNoBeats, beats);
}

// No range check: a start after its end, or beyond the track, is taken as typed.
void DlgTTCheckEditValues()
{
    for (int i = 0; i < MAXI_MARKS; ++i) {
        std::uint32_t* min;
        std::uint32_t* max;
        DlgTTGetMinMaxPtr(i, &min, &max);
        ReadTimeField(Starts[i], min);
        ReadTimeField(Ends[i], max);
    }
    ReadBeats(MAXL_TIMEFIELD);
}

DWORD WINAPI DlgTTTestThread(LPVOID EndPos)
{
    const TESTWATCH watch = *static_cast<TESTWATCH*>(EndPos);
    delete static_cast<TESTWATCH*>(EndPos);
    const int test = StateGetTest();
    auto current = [&] { return TestGeneration.load() == watch.Generation; };
    // A stopped player answers -1, which is beyond every end.
    while (current() && hwndTT.load() != nullptr && WAmpCmGetSongPos(test) < Load(*watch.EndPos))
        Sleep(WATCH_POLL_MS);
    if (current())
        MixStop(test, 0);
    return 0;
}

void DlgTTStartWatcher(std::uint32_t* EndPos, unsigned Generation)
{
    auto* watch = new (std::nothrow) TESTWATCH{EndPos, Generation};
    if (watch == nullptr)
        return;
    const HANDLE hTestThread = CreateThread(nullptr, 0, DlgTTTestThread, watch, 0, nullptr);
    if (hTestThread == nullptr) {
        delete watch;
        return;
    }
    CloseHandle(hTestThread);  // the watcher ends by itself
}

void DlgTTTest(int Idx, int TestType)
{
    StateSetTesting(1);
    DlgTTCheckEditValues();
    std::uint32_t* min;
    std::uint32_t* max;
    DlgTTGetMinMaxPtr(Idx, &min, &max);
    const std::uint32_t start = TestType != TEST_FINISH ? *min : *max > FINISH_LEAD ? *max - FINISH_LEAD : 0;
    const unsigned generation = ++TestGeneration;
    MixLoadSong(StateGetTest(), &TTDataEdit, start);
    if (TestType != TEST_BEGIN)
        DlgTTStartWatcher(max, generation);
    MixPlay(StateGetTest());
}

void DlgTTStop(int Pause)
{
    ++TestGeneration;
    MixStop(StateGetTest(), Pause);
}

void DlgTTInitDialog(HWND hwnd)
{
    hwndTT = hwnd;
    TTDataEdit = *TTData;
    DlgSetIcon(hwnd, ICON_TRACKTIME);
    char S[MAXL_INFOLINE];
    char time[20];
    WMSetText(Control(STARTTIT),
              StrFormat(S, sizeof S, "Artist - Title: %s - %s", TTDataEdit.Desc.cArtist, TTDataEdit.Desc.cTitle));
    WMSetText(Control(STALBUM), StrFormat(S, sizeof S, "Album: %s", TTDataEdit.Desc.cAlbum));
    WMSetText(Control(STLENGTH),
              StrFormat(S, sizeof S, "Total length of track: %s",
                        strtimefrmt(static_cast<int>(TTDataEdit.General.lLength), time, 1, 0)));
    for (int i = 0; i < MAXI_MARKS; ++i) {
        std::uint32_t* min;
        std::uint32_t* max;
        DlgTTGetMinMaxPtr(i, &min, &max);
        TBMSetRange(Control(Sliders[i]), 0, static_cast<int>(TTDataEdit.General.lLength / 1000));
        DlgTTSetSliderSelection(i, *min, *max);
        DlgTTSetSliderPos(i, 0, 1);
    }
    WMSetText(Control(EDBEATS), StrFormat(S, sizeof S, "%d", TTDataEdit.Bounds.iNoBeats));
    const bool measured = TTDataEdit.Analysis.iState == ANA_DONE;
    WMSetText(Control(STMEASURED), measured ? AnaFormatMusic(&TTDataEdit, S, sizeof S)
                                            : AnaFormatLevels(&TTDataEdit, S, sizeof S));
    EnableWindow(Control(BTMEASURED), measured);
}

// The main part becomes the measured music; the user may go on from there.
void DlgTTUseMeasured()
{
    Store(TTDataEdit.Bounds.timMain.lStart, TTDataEdit.Analysis.timMusic.lStart);
    Store(TTDataEdit.Bounds.timMain.lEnd, TTDataEdit.Analysis.timMusic.lEnd);
    DlgTTSetSliderSelection(0, TTDataEdit.Bounds.timMain.lStart, TTDataEdit.Bounds.timMain.lEnd);
}

// A running watcher sees the dialog gone and stops the test player.
void DlgTTEnd(HWND hwnd, int Result)
{
    if (Result) {
        DlgTTCheckEditValues();
        *TTData = TTDataEdit;
    }
    hwndTT = nullptr;
    EndDialog(hwnd, Result);
}

void DlgTTMarkCommand(int Id)
{
    for (const MARKCOMMAND& c : MarkCommands) {
        if (c.Id != Id)
            continue;
        if (c.Action == ACTION_STARTPT || c.Action == ACTION_ENDPT)
            DlgTTSetSliderPoint(c.Mark, c.Action == ACTION_ENDPT);
        else
            DlgTTTest(c.Mark, c.Action);
        return;
    }
}

void DlgTTCommand(HWND hwnd, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDOK: DlgTTEnd(hwnd, 1); break;
    case IDCANCEL: DlgTTEnd(hwnd, 0); break;
    case BTSTOP: DlgTTStop(0); break;
    case BTMEASURED: DlgTTUseMeasured(); break;
    case BTPAUSE: DlgTTStop(1); break;
    case EDBEATS:
        if (HIWORD(wParam) == EN_CHANGE)
            ReadBeats(MAXL_BEATSFIELD);
        break;
    default: DlgTTMarkCommand(LOWORD(wParam)); break;
    }
}

INT_PTR CALLBACK DlgTTWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: DlgTTInitDialog(hwnd); return 1;
    case WM_CLOSE: DlgTTEnd(hwnd, 0); return 1;
    case WM_HSCROLL: DlgTTHScroll(lParam); return 0;
    case WM_COMMAND: DlgTTCommand(hwnd, wParam); return 1;
    default: return 0;
    }
}

}  // namespace

int TTEdit(HWND Owner, SONG* Song)
{
    TTData = Song;
    return DialogBoxParamA(hInst, MAKEINTRESOURCEA(DLG_TT), Owner, DlgTTWndProc, 0) == 1 ? 1 : 0;
}

void DlgTTFreshTestPos(const char* Pos) { WMSetText(Control(EDELAPSED), Pos); }

// Before the rhythm section starts the lights rest in state 0.
void DlgTTBeatTest(unsigned Pos)
{
    const std::uint32_t S = Load(TTDataEdit.Bounds.timBeat.lStart);
    const std::uint32_t E = Load(TTDataEdit.Bounds.timBeat.lEnd);
    const std::int32_t N = Load(TTDataEdit.Bounds.iNoBeats);
    const auto L = static_cast<std::int32_t>(N != 0 ? std::int64_t{static_cast<std::int32_t>(E - S)} / N : 0);
    const std::int32_t state =
        L != 0 && Pos >= S ? static_cast<std::int32_t>((Pos - S) / static_cast<std::uint32_t>(L) % 2) : 0;
    if (state == OldBeat)
        return;
    BMSetCheck(Control(RBBEAT1), state == 1);
    BMSetCheck(Control(RBBEAT2), state == 0);
    OldBeat = state;
}
