#include "dlgmain.h"

#include "defs.h"
#include "dlgabout.h"
#include "dlgcomm.h"
#include "dlghooks.h"
#include "dlgpl.h"
#include "dlgtl.h"
#include "fnana.h"
#include "fncfg.h"
#include "fncomm.h"
#include "fndb.h"
#include "fnlang.h"
#include "fnmain.h"
#include "fnmix.h"
#include "fnpl.h"
#include "fnpli.h"
#include "fnsong.h"
#include "fnthr.h"
#include "resource.h"
#include "string2.h"
#include "winamp.h"
#include "wm.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <shellapi.h>

STATUSWINDOWS StatusWindows;

namespace {

constexpr int MAXI_SLOTS = SLOT_COMMON + 1;  // five players and the common control
constexpr int MAXI_PLAYERS = SLOT_COMMON;
constexpr int CENTER_ZONE = 5;  // pannings this close to 0 show as "Center"
constexpr int MAXL_PLAYING = 150;
constexpr int MAXL_LENGTHTEXT = 20;
constexpr int MAXL_TYPEDLENGTH = 5;
// The panel's own posted messages (WM_APP + 2 and + 5 are dlgcomm's).
constexpr UINT WM_MAIN_OPENDB = WM_APP + 1;   // opens PendingDB once the sender is answered
constexpr UINT WM_MAIN_PLAYERS = WM_APP + 3;  // a slot whose player does not answer; MAXI_WINAMP for those start-up left without one
constexpr UINT WM_MAIN_ENDASK = WM_APP + 4;   // the question a blocked session end needs

// The panel's controls, fetched once when it opens (the status display's
// own fields are in StatusWindows).
struct {
    HWND hwndEDPLAYING;
    HWND hwndEDNEXT;
    HWND hwndEDTOTAL;
    HWND hwndEDREMAININGTRACK;
    HWND hwndCBOFADELEN;
    HWND hwndCBODUOLEN;
    HWND hwndCBOBEATNO;
    HWND hwndCBFADE;
    HWND hwndCB2CHAN;
    HWND hwndRBVOLABS;
    HWND hwndRBVOLREL;
    HWND hwndRBPANABS;
    HWND hwndRBPANREL;

    HWND hwndTBVOLUMES[MAXI_SLOTS];
    HWND hwndSTVOLUMES[MAXI_PLAYERS];
    HWND hwndTBPANNINGS[MAXI_SLOTS];
    HWND hwndSTPANNINGS[MAXI_PLAYERS];
    HWND hwndCBSELECTS[MAXI_PLAYERS];
    HWND hwndCBACTS[MAXI_PLAYERS];
    HWND Radios[3];  // fade out, fade in, fade over: fade type - 1
} Panel;

struct CONTROLHANDLE {
    int Id;
    HWND* Handle;
};

constexpr CONTROLHANDLE SingleControls[] = {
    {TBSONGPOS, &StatusWindows.hwndTBSONGPOS},       {EDELAPSED, &StatusWindows.hwndEDELAPSED},
    {STREMAINING, &StatusWindows.hwndSTREMAINING},   {EDREMAINING, &StatusWindows.hwndEDREMAINING},
    {EDSTATUS, &StatusWindows.hwndEDSTATUS},         {RBBEAT1, &StatusWindows.hwndRBBEAT1},
    {RBBEAT2, &StatusWindows.hwndRBBEAT2},           {EDPLAYING, &Panel.hwndEDPLAYING},
    {EDNEXT, &Panel.hwndEDNEXT},             {EDTOTAL, &Panel.hwndEDTOTAL},
    {EDREMAININGTRACK, &Panel.hwndEDREMAININGTRACK}, {CBOFADELEN, &Panel.hwndCBOFADELEN},
    {CBODUOLEN, &Panel.hwndCBODUOLEN},       {CBOBEATNO, &Panel.hwndCBOBEATNO},
    {CBFADE, &Panel.hwndCBFADE},             {CB2CHAN, &Panel.hwndCB2CHAN},
    {RBVOLABS, &Panel.hwndRBVOLABS},         {RBVOLREL, &Panel.hwndRBVOLREL},
    {RBPANABS, &Panel.hwndRBPANABS},         {RBPANREL, &Panel.hwndRBPANREL},
};

constexpr int TBVOLUMES[MAXI_SLOTS] = {TBVOLUMEPL1, TBVOLUMEPL2, TBVOLUMEBC1, TBVOLUMEBC2, TBVOLUMETEST, TBVOLUMECOM};
constexpr int STVOLUMES[MAXI_PLAYERS] = {STVOLUMEPL1, STVOLUMEPL2, STVOLUMEBC1, STVOLUMEBC2, STVOLUMETEST};
constexpr int TBPANNINGS[MAXI_SLOTS] = {TBPANNINGPL1, TBPANNINGPL2, TBPANNINGBC1,
                                        TBPANNINGBC2, TBPANNINGTEST, TBPANNINGCOM};
constexpr int STPANNINGS[MAXI_PLAYERS] = {STPANNINGPL1, STPANNINGPL2, STPANNINGBC1, STPANNINGBC2, STPANNINGTEST};
constexpr int CBSELECTS[MAXI_PLAYERS] = {CBSELECTPL1, CBSELECTPL2, CBSELECTBC1, CBSELECTBC2, CBSELECTTEST};
constexpr int CBACTS[MAXI_PLAYERS] = {CBACTPL1, CBACTPL2, CBACTBC1, CBACTBC2, CBACTTST};
constexpr int RADIOS[3] = {RBFADEOUT, RBFADEIN, RBFADEOVER};

struct BUTTONIMAGE {
    int Id;
    int Bitmap;
};
constexpr BUTTONIMAGE ButtonImages[] = {
    {BTSTOP, BMP_STOP}, {BTPAUSE, BMP_PAUSE}, {BTPLAYNEXT, BMP_NEXT}, {BTHELP, BMP_HELP},
    {BTPLAYLIST, BMP_PL}, {BTTL, BMP_TL},     {BTSKIPNEXT, BMP_SKIP},
};

template <std::size_t N>
void GetHandles(const int (&Ids)[N], HWND (&Handles)[N])
{
    for (std::size_t i = 0; i < N; ++i)
        Handles[i] = GetDlgItem(hwndMain, Ids[i]);
}

// The slot whose control in Handles is hwnd; -1 when none.
template <std::size_t N>
int SlotOf(const HWND (&Handles)[N], HWND hwnd)
{
    const auto it = std::find(std::begin(Handles), std::end(Handles), hwnd);
    return it == std::end(Handles) ? -1 : static_cast<int>(it - std::begin(Handles));
}

bool Controlled(int Slot) { return (StateGetCntrFlag() & (1 << Slot)) != 0; }

HWND LParamWindow(LPARAM lParam) { return reinterpret_cast<HWND>(lParam); }

PLI* WParamPLI(WPARAM wParam) { return reinterpret_cast<PLI*>(wParam); }

void SetTimeText(HWND hwnd, unsigned Time)
{
    char S[MAXL_LENGTHTEXT];
    WMSetText(hwnd, strtimefrmt(static_cast<int>(Time), S, 1, 0));
}

void FreshRemainingTracks() { DlgMainSetEDREMAININGTRACK(PLGetNotPlayed(MainGetCurrentPL())); }

}  // namespace

void DlgMainGetHWNDs()
{
    for (const CONTROLHANDLE& control : SingleControls)
        *control.Handle = GetDlgItem(hwndMain, control.Id);
    GetHandles(TBVOLUMES, Panel.hwndTBVOLUMES);
    GetHandles(STVOLUMES, Panel.hwndSTVOLUMES);
    GetHandles(TBPANNINGS, Panel.hwndTBPANNINGS);
    GetHandles(STPANNINGS, Panel.hwndSTPANNINGS);
    GetHandles(CBSELECTS, Panel.hwndCBSELECTS);
    GetHandles(CBACTS, Panel.hwndCBACTS);
    GetHandles(RADIOS, Panel.Radios);
}

void DlgMainInitButtons()
{
    for (const BUTTONIMAGE& button : ButtonImages)
        ButtonSetImage(GetDlgItem(hwndMain, button.Id), button.Bitmap);
}

void DlgMainFreshTotal()
{
    MixRecalcBeat(StateGetNextPLI());
    DlgMainSetEDTOTAL(StateGetBeatLast());
}

void DlgMainSetVolume(int Idx, int Value, int Redraw, int Store)
{
    if (Idx == SLOT_COMMON)
        DlgMainSetCommonVolume(Value);
    if (Redraw)
        TBMSetPos(Panel.hwndTBVOLUMES[Idx], 1, MAX_VOLUME - Value);
    if (Idx < SLOT_COMMON) {
        char S[10];
        WMSetText(Panel.hwndSTVOLUMES[Idx], StrFormat(S, sizeof S, "%d", Value * 100 / MAX_VOLUME));
        MixSetVolume(Idx, Value);
    }
    if (Store)
        StateSetVolume(Idx, Value);
}

void DlgMainSetCommonVolume(int CommValue)
{
    const int delta = CommValue - StateGetVolume(SLOT_COMMON);
    for (int i = 0; i < MAXI_PLAYERS; ++i) {
        if (!Controlled(i))
            continue;
        const int value = StateGetVolRel() ? std::clamp(StateGetVolume(i) + delta, 0, MAX_VOLUME) : CommValue;
        DlgMainSetVolume(i, value, 1, 1);
    }
    StateSetVolume(SLOT_COMMON, CommValue);
}

void DlgMainSetPanning(int Idx, int Value, int Redraw, int Store)
{
    if (Idx == SLOT_COMMON)
        DlgMainSetCommonPanning(Value);
    if (Redraw)
        TBMSetPos(Panel.hwndTBPANNINGS[Idx], 1, Value);
    if (Idx < SLOT_COMMON) {
        char S[10];
        if (std::abs(Value) <= CENTER_ZONE)
            StrCopy(S, strCenter);
        else
            StrFormat(S, sizeof S, "%c%d%%", Value < 0 ? cLeft : cRight, std::abs(Value * 100 / MAX_PANNING));
        WMSetText(Panel.hwndSTPANNINGS[Idx], S);
        MixSetPanning(Idx, Value);
    }
    if (Store)
        StateSetPanning(Idx, Value);
}

// Relative moves stop at the trackbars' ends, so a slot's value always has a thumb position.
void DlgMainSetCommonPanning(int CommValue)
{
    const int delta = CommValue - StateGetPanning(SLOT_COMMON);
    for (int i = 0; i < MAXI_PLAYERS; ++i) {
        if (!Controlled(i))
            continue;
        const int value =
            StateGetPanRel() ? std::clamp(StateGetPanning(i) + delta, MIN_PANNING, MAX_PANNING) : CommValue;
        DlgMainSetPanning(i, value, 1, 1);
    }
    StateSetPanning(SLOT_COMMON, CommValue);
}

void DlgMainSetFade(int Value, int Update)
{
    StateSetFade(Value);
    if (Update)
        BMSetCheck(Panel.hwndCBFADE, Value);
    DlgMainFreshTotal();
}

void DlgMainSetDuo(int Value, int Update)
{
    StateSetDuo(Value);
    if (Update)
        BMSetCheck(Panel.hwndCB2CHAN, Value);
    DlgMainFreshTotal();
}

void DlgMainSetFadeType(int FadeType, int Update)
{
    if (Update) {
        for (int i = 0; i < 3; ++i)
            BMSetCheck(Panel.Radios[i], i == FadeType - 1);
    }
    MixSetFadeType(FadeType);
    DlgMainFreshTotal();
}

void DlgMainSetFadeLen(unsigned Value, int Update)
{
    char S[MAXL_LENGTHTEXT];
    if (Update)
        WMSetText(Panel.hwndCBOFADELEN, StrFormat(S, sizeof S, "%u", Value));
    StateSetFadeLen(Value);
    DlgMainFreshTotal();
}

void DlgMainSetDuoLen(unsigned Value, int Update)
{
    char S[MAXL_LENGTHTEXT];
    if (Update)
        WMSetText(Panel.hwndCBODUOLEN, StrFormat(S, sizeof S, "%u", Value));
    StateSetDuoLen(Value);
    DlgMainFreshTotal();
}

void DlgMainSetCurrentSong(PLI* Song)
{
    char title[MAXL_PLITITLE + 1];
    char S[MAXL_PLAYING];
    const SONG* song = PLIGetSong(Song);
    unsigned length = 0;
    if (Song != nullptr) {
        StrCopy(S, PLIGetTitleDesc(Song, title));
        length = song != nullptr ? song->General.lLength / 1000 : 0;
    } else if (StateGetPlayStatus() != PLAYSTAT_STOPPED) {
        StrCopy(S, strUnknown);
        length = WAmpCmGetSongLen(StateGetActPlayer());
    } else {
        StrCopy(S, strNotPlaying);
    }
    WMSetText(Panel.hwndEDPLAYING, S);
    TBMSetRange(StatusWindows.hwndTBSONGPOS, 0, static_cast<int>(length));
    if (song != nullptr)
        TBMSetSel(StatusWindows.hwndTBSONGPOS, static_cast<int>(song->Bounds.timMain.lStart / 1000),
                  static_cast<int>(song->Bounds.timMain.lEnd / 1000));
    else
        TBMSetSel(StatusWindows.hwndTBSONGPOS, 0, 0);
}

void DlgMainSetNextSong(PLI* pli)
{
    char title[MAXL_PLITITLE + 1];
    char S[MAXL_PLAYING];
    StrCopy(S, pli != nullptr ? PLIGetTitleDesc(pli, title) : strEOPL);
    WMSetText(Panel.hwndEDNEXT, S);
    DlgMainFreshTotal();
}

void DlgMainSetActivePlayer(int Value)
{
    const int partner = Value % 2 != 0 ? Value - 1 : Value + 1;
    BMSetCheck(Panel.hwndCBACTS[partner], 0);
    BMSetCheck(Panel.hwndCBACTS[Value], 1);
}

void DlgMainSetEDREMAININGTRACK(int Remaining)
{
    char S[MAXL_LENGTHTEXT];
    WMSetText(Panel.hwndEDREMAININGTRACK, StrFormat(S, sizeof S, "%d", Remaining));
}

void DlgMainSetEDTOTAL(unsigned Time) { SetTimeText(Panel.hwndEDTOTAL, Time); }

void DlgMainSetEDREMAINING(unsigned Pos) { SetTimeText(StatusWindows.hwndEDREMAINING, Pos); }

void DlgMainSetSTREMAINING(const char* Title) { WMSetText(StatusWindows.hwndSTREMAINING, Title != nullptr ? Title : "Remaining time"); }

void DlgMainSetTestPlayerState(int Playing) { BMSetCheck(GetDlgItem(hwndMain, CBACTTST), Playing); }

void DlgMainInit()
{
    DlgMainGetHWNDs();
    DlgSetIcon(hwndMain, ICON_MAINPANEL);
    DlgMainInitButtons();
    for (int i = 0; i < MAXI_SLOTS; ++i) {
        TBMSetRange(Panel.hwndTBVOLUMES[i], 0, MAX_VOLUME);
        TrackbarSetRange(Panel.hwndTBPANNINGS[i], MIN_PANNING, MAX_PANNING, StateGetPanning(i));
    }
    for (int i = 0; i < MAXI_PLAYERS; ++i) {
        if (Controlled(i))
            BMSetCheck(Panel.hwndCBSELECTS[i], 1);
    }
    DlgMainSetFadeType(StateGetFadeType(), 1);
    for (int i = 0; i < MAXI_SLOTS; ++i) {
        DlgMainSetVolume(i, StateGetVolume(i), 1, 1);
        DlgMainSetPanning(i, StateGetPanning(i), 1, 1);
    }
    BMSetCheck(StateGetVolRel() ? Panel.hwndRBVOLREL : Panel.hwndRBVOLABS, 1);
    BMSetCheck(StateGetPanRel() ? Panel.hwndRBPANREL : Panel.hwndRBPANABS, 1);
    BMSetCheck(GetDlgItem(hwndMain, CBLEVEL), StateGetLevel());
    ComboFillInt(Panel.hwndCBOFADELEN, 500, 15000, 500);
    ComboFillInt(Panel.hwndCBODUOLEN, 500, 15000, 500);
    ComboFillInt(Panel.hwndCBOBEATNO, 1, 25, 1);
    // The information thread may not have read the player yet; "Unknown" would then
    // stand in the field until the next track although nothing plays.
    if (StateGetPlayStatus() == PLAYSTAT_NONE)
        StateSetPlayStatus(WAmpCmIsPlaying(StateGetActPlayer()));
    DlgMainSetActivePlayer(StateGetActPlayer());
    DlgMainSetNextSong(StateGetNextPLI());
    DlgMainSetCurrentSong(StateGetCurPLI());
    MixSetDestWindow(hwndMain);
    PostMessageA(hwndMain, WM_ANALYSED, 0, 0);  // what was measured before the panel opened
}

// Takes the measurements that arrived: the track table shows them and the
// mix start follows a main part they moved.
void DlgMainAnalysed()
{
    if (AnaCollect() > 0) {
        DlgTLRedrawRows();
        DlgMainFreshTotal();
    }
    DlgTLShowProgress();
}

void DlgMainToggleCommonPlayer(HWND hwnd)
{
    const int slot = SlotOf(Panel.hwndCBSELECTS, hwnd);
    if (slot < 0)
        return;
    const int bit = 1 << slot;
    StateSetCntrFlag(BMGetCheck(hwnd) == BST_CHECKED ? StateGetCntrFlag() | bit : StateGetCntrFlag() & ~bit);
}

void DlgMainEditChangeComboBox(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    if (id != CBOFADELEN && id != CBODUOLEN)
        return;
    char S[MAXL_TYPEDLENGTH + 1];
    std::uint32_t value = 0;
    // Anything but a sane length keeps the last one; the field shows it again
    // when the user leaves it.
    if (!StrToUInt(WMGetText(LParamWindow(lParam), sizeof S, S), MIX_MAX_LENGTH_MS, &value))
        return;
    if (id == CBOFADELEN)
        DlgMainSetFadeLen(value, 0);
    else
        DlgMainSetDuoLen(value, 0);
}

namespace {

// A typed length takes effect when the user leaves the field or presses
// Enter, not with every keystroke (a running mix would end on the "8" of
// "800"); the field then shows the length in force.
void DlgMainTakeTypedLength(WPARAM wParam, LPARAM lParam)
{
    DlgMainEditChangeComboBox(wParam, lParam);
    if (LOWORD(wParam) == CBOFADELEN)
        DlgMainSetFadeLen(StateGetFadeLen(), 1);
    else if (LOWORD(wParam) == CBODUOLEN)
        DlgMainSetDuoLen(StateGetDuoLen(), 1);
}

// Enter, the dialog's default command: both fields show the length in
// force unless the user typed another.
void DlgMainEnter()
{
    DlgMainTakeTypedLength(CBOFADELEN, reinterpret_cast<LPARAM>(Panel.hwndCBOFADELEN));
    DlgMainTakeTypedLength(CBODUOLEN, reinterpret_cast<LPARAM>(Panel.hwndCBODUOLEN));
}

}  // namespace

void DlgMainSelChangeComboBox(WPARAM wParam, LPARAM lParam)
{
    const HWND combo = LParamWindow(lParam);
    const int sel = CBGetCurSel(combo);
    if (sel < 0)
        return;
    // CB_GETLBTEXT writes the whole entry; the lists hold short numbers.
    char S[200];
    WMSetText(combo, CBGetLBText(combo, sel, S));
    DlgMainEditChangeComboBox(wParam, lParam);
}

void DlgMainVScroll(WPARAM, LPARAM lParam)
{
    const HWND slider = LParamWindow(lParam);
    const int slot = SlotOf(Panel.hwndTBVOLUMES, slider);
    if (slot >= 0)
        DlgMainSetVolume(slot, MAX_VOLUME - TBMGetPos(slider), 0, 1);
}

namespace {

void DlgMainSongPosScroll(int Code)
{
    const unsigned ms = static_cast<unsigned>(TBMGetPos(StatusWindows.hwndTBSONGPOS)) * 1000;
    switch (Code) {
    case TB_THUMBTRACK:
        if (!StateGetSeeking()) {
            StateSetSeeking(1);
            DlgMainSetSTREMAINING("Seeking to");
        }
        DlgMainSetEDREMAINING(ms);
        break;
    case TB_LINEUP:
    case TB_LINEDOWN:
    case TB_PAGEUP:
    case TB_PAGEDOWN:
    case TB_THUMBPOSITION:
    case TB_TOP:
    case TB_BOTTOM:
        WAmpCmJump(StateGetActPlayer(), ms);
        DlgMainSetSTREMAINING(nullptr);
        StateSetSeeking(0);
        break;
    default:
        break;
    }
}

}  // namespace

void DlgMainHScroll(WPARAM wParam, LPARAM lParam)
{
    const HWND slider = LParamWindow(lParam);
    const int slot = SlotOf(Panel.hwndTBPANNINGS, slider);
    if (slot >= 0)
        DlgMainSetPanning(slot, TBMGetPos(slider), 0, 1);
    else if (slider == StatusWindows.hwndTBSONGPOS)
        DlgMainSongPosScroll(LOWORD(wParam));
}

void DlgMainNext() { MixNext(hwndMain); }

void DlgMainSkipNext()
{
    MixSkip(hwndMain);
    DlgMainSetNextSong(MixGetQueuedPLI());
}

void DlgMainPause() { WAmpBtPause(StateGetActPlayer()); }

void DlgMainMMProc(HWND, UINT msg, WPARAM wParam, LPARAM lParam)
{
    // A slot outside the arrays of controls is a fault of the sender: ignored.
    if ((msg == MIXMSG_VOLUME && wParam > SLOT_COMMON) || (msg == MIXMSG_ACTPLAYER && wParam > SLOT_PL2))
        return;
    switch (msg) {
    case MIXMSG_NEXTPLI:
        DlgMainSetNextSong(WParamPLI(wParam));
        FreshRemainingTracks();
        DlgPLSetFocusedPLI(MixGetQueuedPLI());
        break;
    case MIXMSG_CURRENTPLI:
        DlgMainSetCurrentSong(WParamPLI(wParam));
        FreshRemainingTracks();
        break;
    case MIXMSG_CANTPLAY:  // the sender is a worker thread that must not wait for the box
        PostMessageA(hwndMain, WM_MAIN_PLAYERS, wParam, 0);
        break;
    case MIXMSG_ACTPLAYER:
        DlgMainSetActivePlayer(static_cast<int>(wParam));
        FreshRemainingTracks();
        break;
    case MIXMSG_CHANGE: MixOnChangeMsg(wParam, lParam); break;
    case MIXMSG_SKIPPED: DlgPLRefresh(); break;
    case MIXMSG_VOLUME: DlgMainSetVolume(static_cast<int>(wParam), static_cast<int>(lParam), 1, 1); break;
    case MIXMSG_FADETYPE: DlgMainSetFadeType(static_cast<int>(wParam), 1); break;
    case MIXMSG_FADE: DlgMainSetFade(static_cast<int>(wParam), 1); break;
    case MIXMSG_FADELEN: DlgMainSetFadeLen(static_cast<unsigned>(wParam), 1); break;
    case MIXMSG_DUOLEN: DlgMainSetDuoLen(static_cast<unsigned>(wParam), 1); break;
    case MIXMSG_DUO: DlgMainSetDuo(static_cast<int>(wParam), 1); break;
    default: break;
    }
}

namespace {

// ---- help, the requests of a second start, players that do not answer,
// closing and the end of the session ----

constexpr wchar_t strHelpFile[] = L"TANDEM.HLP";
constexpr wchar_t strManualFile[] = L"manual\\manual.html";
constexpr DWORD MAXL_PROGRAMPATH = 1024;
constexpr UINT_PTR TIMER_OPENDB = 1;  // PendingDB waits for the open dialog to close
constexpr UINT OPENDB_POLL_MS = 500;

// A second start's database, until it is opened.
char PendingDB[MAXL_DBPATH + 1];
bool PlayerTold[MAXI_WINAMP];

// Name in the folder of tandem.exe, whatever that folder is called; empty
// when the program's path does not fit.
std::wstring BesideProgram(const wchar_t* Name)
{
    wchar_t path[MAXL_PROGRAMPATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAXL_PROGRAMPATH);
    const std::wstring_view program(path, length < MAXL_PROGRAMPATH ? length : 0);
    const std::size_t slash = program.rfind(L'\\');
    return slash == std::wstring_view::npos ? std::wstring() : std::wstring(program.substr(0, slash + 1)) + Name;
}

bool FileExists(const std::wstring& Path)
{
    return !Path.empty() && GetFileAttributesW(Path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The help file beside the program when there is one; the WinHelp viewer is
// gone from today's Windows, so otherwise the manual opens in the browser.
void DlgMainHelp()
{
    if (const std::wstring help = BesideProgram(strHelpFile); FileExists(help)) {
        WinHelpW(hwndMain, help.c_str(), HELP_INDEX, 0);
        return;
    }
    const std::wstring manual = BesideProgram(strManualFile);
    const auto opened = [&] {
        return reinterpret_cast<INT_PTR>(ShellExecuteW(hwndMain, L"open", manual.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    };
    if (!FileExists(manual) || opened() <= 32)
        ErrorMsg(hwndMain, "The manual (manual\\manual.html beside tandem.exe) could not be opened.");
}

// Each slot is told of once: the slots start-up left without a player
// together, any other when the mixer finds its player does not answer.
void DlgMainPlayersNotice(WPARAM Slot)
{
    if (Slot >= MAXI_WINAMP) {
        if (MainMissingPlayers()[0] == '\0')
            return;
        std::fill(PlayerTold + WAmpGetInstances(), PlayerTold + MAXI_WINAMP, true);
        WarningMsg(hwndMain, MainMissingPlayers());
    } else if (!PlayerTold[Slot]) {
        PlayerTold[Slot] = true;
        char msg[100];
        WarningMsg(hwndMain, StrFormat(msg, sizeof msg, "The player of slot %s does not answer, so it cannot play.",
                                       MainSlotName(static_cast<int>(Slot))));
    }
}

// A second start sent the path of a database to open: taken when it names
// an existing file by its full path and no other waits. It is opened after
// the sender has its answer, so that a message box of the open cannot keep
// the sender waiting.
LRESULT DlgMainOpenRequest(HWND hwnd, LPARAM lParam)
{
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (data == nullptr || data->dwData != MAIN_COPYDATA_OPENDB || data->cbData == 0 ||
        data->cbData > sizeof PendingDB || static_cast<const char*>(data->lpData)[data->cbData - 1] != '\0' ||
        !CfgIsDatabaseFile(static_cast<const char*>(data->lpData)))
        return MAIN_OPENDB_REFUSED;
    if (PendingDB[0] != '\0')
        return MAIN_OPENDB_WAIT;
    StrCopy(PendingDB, static_cast<const char*>(data->lpData));
    PostMessageA(hwnd, WM_MAIN_OPENDB, 0, 0);
    return MAIN_OPENDB_TAKEN;
}

// The pending database opens once no dialog of Tandem is open: a dialog may
// hold what the open releases, and its edit belongs to the library that is
// kept first. Until then the dialog is brought to the front, once.
void DlgMainOpenPending(HWND hwnd, bool First)
{
    if (HWND dialog = DlgOpenDialog()) {
        if (First) {
            SetForegroundWindow(dialog);
            SetTimer(hwnd, TIMER_OPENDB, OPENDB_POLL_MS, nullptr);
        }
        return;
    }
    KillTimer(hwnd, TIMER_OPENDB);
    char path[MAXL_DBPATH + 1];
    StrCopy(path, PendingDB);
    PendingDB[0] = '\0';
    if (path[0] != '\0')
        MainOpenDatabase(path);
}

void DlgMainEnd(HWND hwnd)
{
    DoneThreads();
    EndDialog(hwnd, 0);
}

// Closing while a dialog of Tandem is open would lose what the dialog holds:
// the dialog comes to the front and asks to be finished first.
void DlgMainClose(HWND hwnd)
{
    if (HWND dialog = DlgOpenDialog()) {
        SetForegroundWindow(dialog);
        WarningMsg(dialog, "Finish this dialog first (OK or Cancel), so that nothing in it is lost; then close Tandem.");
        return;
    }
    if (DlgTLKeepLibrary(hwnd))
        DlgMainEnd(hwnd);
}

// The session ends (log off, shut down, restart for updates). The library
// and "Recent" are saved now when that needs no answer; otherwise the end is
// blocked with the reason, and the dialog that is open, or the question the
// library needs, comes once the system has its answer.
BOOL DlgMainQueryEndSession(HWND hwnd)
{
    const HWND dialog = DlgOpenDialog();
    if (dialog == nullptr && DlgTLStoreLibrary()) {
        CfgStore();
        return TRUE;
    }
    ShutdownBlockReasonCreate(hwnd, dialog != nullptr ? L"A dialog of Tandem is open: finish it to keep its changes."
                                                      : L"The library of Tandem has not been saved.");
    if (dialog != nullptr)
        SetForegroundWindow(dialog);
    else
        PostMessageA(hwnd, WM_MAIN_ENDASK, 0, 0);
    return FALSE;
}

// Ending, nothing can be asked any more: what can be saved without an answer is.
void DlgMainEndSession(HWND hwnd, WPARAM Ending)
{
    if (Ending) {
        DlgTLStoreLibrary();
        CfgStore();
    } else {
        ShutdownBlockReasonDestroy(hwnd);
    }
}

// The question of a blocked session end; once answered, Tandem ends as the session meant it to.
void DlgMainEndAsk(HWND hwnd)
{
    const int kept = DlgOpenDialog() == nullptr && DlgTLKeepLibrary(hwnd);
    ShutdownBlockReasonDestroy(hwnd);
    if (kept)
        DlgMainEnd(hwnd);
}

}  // namespace

// A second start's database goes the track list's Open database way: the
// library lock, the open library kept first, the damaged-file message.
void MainOpenDatabase(const char* Path) { DlgTLOpenDBaseFile(hwndMain, Path); }

namespace {

int Checked(LPARAM lParam) { return BMGetCheck(LParamWindow(lParam)) == BST_CHECKED ? 1 : 0; }

void DlgMainCommand(WPARAM wParam, LPARAM lParam)
{
    switch (HIWORD(wParam)) {
    case CBN_SELCHANGE: DlgMainSelChangeComboBox(wParam, lParam); break;
    case CBN_KILLFOCUS: DlgMainTakeTypedLength(wParam, lParam); break;
    default: break;
    }
    switch (LOWORD(wParam)) {
    case CBSELECTPL1:
    case CBSELECTPL2:
    case CBSELECTBC1:
    case CBSELECTBC2:
    case CBSELECTTEST: DlgMainToggleCommonPlayer(LParamWindow(lParam)); break;
    case CBFADE: DlgMainSetFade(Checked(lParam), 0); break;
    case CBINTRO: StateSetIntro(Checked(lParam)); break;
    case CBREPEAT: StateSetRepeat(Checked(lParam)); break;
    case CBSHUFFLE: StateSetShuffle(Checked(lParam)); break;
    case CBLEVEL: MixSetLevel(Checked(lParam)); break;
    case CBUSEBEATS: StateSetBeats(Checked(lParam)); DlgMainFreshTotal(); break;
    case CB2CHAN: StateSetDuo(Checked(lParam)); DlgMainFreshTotal(); break;
    case RBFADEMAN: DlgMainSetFadeType(FADE_MAN, 0); break;
    case RBFADEOUT: DlgMainSetFadeType(FADE_OUT, 0); break;
    case RBFADEIN: DlgMainSetFadeType(FADE_IN, 0); break;
    case RBFADEOVER: DlgMainSetFadeType(FADE_OVER, 0); break;
    case RBVOLABS: StateSetVolRel(0); break;
    case RBVOLREL: StateSetVolRel(1); break;
    case RBPANABS: StateSetPanRel(0); break;
    case RBPANREL: StateSetPanRel(1); break;
    case BTWAEQ: MixControlWAmp(WACMEQ, StateGetCntrFlag(), 0, 0); break;
    case BTWAPREFS: MixControlWAmp(WACMPREFS, StateGetCntrFlag(), 0, 0); break;
    case BTWAAOT: MixControlWAmp(WACMAOT, StateGetCntrFlag(), 0, 0); break;
    case BTWAABOUT: MixControlWAmp(WACMABOUT, 1, 0, 0); break;
    case BTTNDMABOUT: DlgAboutShow(); break;
    case BTPLAYNEXT: DlgMainNext(); break;
    case BTSKIPNEXT: DlgMainSkipNext(); break;
    case BTPAUSE: DlgMainPause(); break;
    case BTSTOP: MixStopByUser(); break;
    case BTTL: TLEdit(); break;
    case BTPLAYLIST: PLEdit(); break;
    case BTHELP: DlgMainHelp(); break;
    case CMSHOWSTATUS: ShowStatus(); break;
    case IDOK: DlgMainEnter(); break;
    default: break;
    }
}

}  // namespace

INT_PTR CALLBACK DlgMainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg >= WM_USER && msg <= 0x7FFF) {
        DlgMainMMProc(hwnd, msg, wParam, lParam);
        return 0;
    }
    switch (msg) {
    case WM_CLOSE: DlgMainClose(hwnd); return 1;
    case WM_INITDIALOG:
        hwndMain = hwnd;
        InitThreads();
        DlgMainInit();
        PostMessageA(hwnd, WM_MAIN_PLAYERS, MAXI_WINAMP, 0);
        return 0;
    case WM_COMMAND: DlgMainCommand(wParam, lParam); return 0;
    case WM_HSCROLL: DlgMainHScroll(wParam, lParam); return 0;
    case WM_VSCROLL: DlgMainVScroll(wParam, lParam); return 0;
    case WM_COPYDATA: SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, DlgMainOpenRequest(hwnd, lParam)); return 1;
    case WM_MAIN_OPENDB: DlgMainOpenPending(hwnd, true); return 0;
    case WM_TIMER: DlgMainOpenPending(hwnd, false); return 0;
    case WM_QUERYENDSESSION: SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, DlgMainQueryEndSession(hwnd)); return 1;
    case WM_ENDSESSION: DlgMainEndSession(hwnd, wParam); return 0;
    case WM_MAIN_ENDASK: DlgMainEndAsk(hwnd); return 0;
    case WM_MAIN_PLAYERS: DlgMainPlayersNotice(wParam); return 0;
    case WM_ANALYSED: DlgMainAnalysed(); return 0;
    default: return 0;
    }
}
