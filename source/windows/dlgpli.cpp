#include "dlgpli.h"

#include "defs.h"
#include "dlgcomm.h"
#include "dlghooks.h"
#include "fnlang.h"
#include "fnpli.h"
#include "fnsong.h"
#include "resource.h"
#include "string2.h"
#include "wm.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>

std::atomic<HWND> hwndPLI{nullptr};

namespace {

constexpr int CENTER_ZONE = 3;  // pannings this close to 0 show as "Center"
constexpr int MAXL_TIMETEXT = 20;
constexpr int MAXL_LENGTHTEXT = 9;
constexpr int MAXL_NUMBERTEXT = 12;
constexpr int MAXI_FADETYPES = 4;
constexpr int MAXI_SECTIONCONTROLS = 5;

PLI* PLIData;
PLI PLIDataEdit;

// The radio button that shows each fade type; manual shows as fade out.
constexpr int FadeTypeCtrl[MAXI_FADETYPES] = {RBFADEOUT, RBFADEOUT, RBFADEIN, RBFADEOVER};

struct FADETYPEBUTTON {
    int Id;
    int FadeType;
};

constexpr FADETYPEBUTTON FadeTypeButtons[] = {{RBFADEOUT, FADE_OUT}, {RBFADEIN, FADE_IN}, {RBFADEOVER, FADE_OVER}};

// A section: its check box, the controls the box enables (0 ends the list)
// and the flag that makes its overrides count. In the order they are set
// when the dialog opens.
struct SECTION {
    int CheckBox;
    int Controls[MAXI_SECTIONCONTROLS];
    std::int32_t* (*Flag)(PLI*);
};

constexpr SECTION Sections[] = {
    {CBSONGBOUNDS, {TBSONGBOUNDS, EDSTART, EDEND, BTSTART, BTEND}, [](PLI* p) { return &p->UpdFlag.bBounds; }},
    {CBVOLUME, {TBVOLUME}, [](PLI* p) { return &p->UpdFlag.bVolume; }},
    {CBPANNING, {TBPANNING}, [](PLI* p) { return &p->UpdFlag.bPanning; }},
    {CBFADETYPE, {RBFADEOUT, RBFADEIN, RBFADEOVER}, [](PLI* p) { return &p->UpdFlag.bFade; }},
    {CBLENGTHS, {CBODUOLEN, CBOFADELEN}, [](PLI* p) { return &p->UpdFlag.bLengths; }},
    {CBBACKGROUND, {CBBACKGLIST, CBOBEATNO}, [](PLI* p) { return &p->UpdFlag.bEffect; }},
};

// The three-state option boxes: unchecked, checked, indeterminate are the
// option values off, on and keep.
struct OPTIONBOX {
    int Id;
    std::int32_t* (*Field)(PLI*);
};

constexpr OPTIONBOX OptionBoxes[] = {
    {CBFADE, [](PLI* p) { return &p->Option.iFade; }},
    {CBDUO, [](PLI* p) { return &p->Option.iDuo; }},
    {CBBACKGROUNDEFFECT, [](PLI* p) { return &p->Option.iEffect; }},
    {CBINTRO, [](PLI* p) { return &p->Option.iIntro; }},
    {CBBEATS, [](PLI* p) { return &p->Option.iBeats; }},
};

HWND Control(int Id) { return GetDlgItem(hwndPLI.load(), Id); }

void SetTimeField(int Id, std::uint32_t Ms)
{
    char S[MAXL_TIMETEXT];
    WMSetText(Control(Id), strtimefrmt(static_cast<int>(Ms), S, 1, 0));
}

void SetNumberField(int Id, long long Value)
{
    char S[MAXL_NUMBERTEXT];
    WMSetText(Control(Id), StrFormat(S, sizeof S, "%lld", Value));
}

int Checked(int Id) { return BMGetCheck(Control(Id)) == BST_CHECKED ? 1 : 0; }

// ---- sections ----

void DlgPLIEnableSection(const SECTION& Section, int B)
{
    BMSetCheck(Control(Section.CheckBox), B ? BST_CHECKED : BST_UNCHECKED);
    for (int id : Section.Controls)
        if (id != 0)
            WMEnable(Control(id), B ? 1 : 0);
    *Section.Flag(&PLIDataEdit) = B;
}

const SECTION* SectionOfBox(int Id)
{
    for (const SECTION& s : Sections)
        if (s.CheckBox == Id)
            return &s;
    return nullptr;
}

// An option value outside the three states shows as "keep"; the copy keeps
// it until the user clicks the box.
int OptionBoxState(std::int32_t Value)
{
    return Value == OPTION_OFF ? BST_UNCHECKED : Value == OPTION_ON ? BST_CHECKED : BST_INDETERMINATE;
}

const OPTIONBOX* OptionOfBox(int Id)
{
    for (const OPTIONBOX& o : OptionBoxes)
        if (o.Id == Id)
            return &o;
    return nullptr;
}

void DlgPLIOptionClicked(const OPTIONBOX& Box)
{
    const int state = BMGetCheck(Control(Box.Id));
    *Box.Field(&PLIDataEdit) = state == BST_CHECKED ? OPTION_ON : state == BST_INDETERMINATE ? OPTION_KEEP : OPTION_OFF;
}

// ---- displays ----

void DlgPLISetVolume(int Value, int RedrawTB)
{
    if (RedrawTB)
        TBMSetPos(Control(TBVOLUME), 1, Value);
    SetNumberField(STVOLUME, static_cast<long long>(Value) * 100 / MAX_VOLUME);
    PLIDataEdit.Override.iVolume = Value;
}

void DlgPLISetPanning(int Value, int RedrawTB)
{
    TBMSetPos(Control(TBPANNING), RedrawTB, Value);
    const long long magnitude = Value < 0 ? -static_cast<long long>(Value) : Value;
    char S[MAXL_NUMBERTEXT + 2];
    if (magnitude < CENTER_ZONE)
        StrCopy(S, strCenter);
    else
        StrFormat(S, sizeof S, "%c%lld%%", Value < 0 ? cLeft : cRight, magnitude * 100 / MAX_PANNING);
    WMSetText(Control(STPANNING), S);
    PLIDataEdit.Override.iPanning = Value;
}

void DlgPLISetSongPos(std::uint32_t Value, int RedrawTB)
{
    if (RedrawTB)
        TBMSetPos(Control(TBSONGBOUNDS), 1, static_cast<int>(Value / 1000));
    SetTimeField(EDPOS, Value);
}

void DlgPLISetSongLen()
{
    const TIME& bounds = PLIDataEdit.Override.timMainPart;
    SetTimeField(EDLEN, bounds.lEnd - bounds.lStart);
}

// A start after the end is refused without a word.
void DlgPLISetSongStart(std::uint32_t Value)
{
    TIME& bounds = PLIDataEdit.Override.timMainPart;
    if (Value > bounds.lEnd)
        return;
    TBMSetSelStart(Control(TBSONGBOUNDS), static_cast<int>(Value / 1000));
    SetTimeField(EDSTART, Value);
    bounds.lStart = Value;
    DlgPLISetSongLen();
}

// An end before the start is refused without a word.
void DlgPLISetSongEnd(std::uint32_t Value)
{
    TIME& bounds = PLIDataEdit.Override.timMainPart;
    if (Value < bounds.lStart)
        return;
    TBMSetSelEnd(Control(TBSONGBOUNDS), static_cast<int>(Value / 1000));
    SetTimeField(EDEND, Value);
    bounds.lEnd = Value;
    DlgPLISetSongLen();
}

std::uint32_t SliderMs() { return static_cast<std::uint32_t>(TBMGetPos(Control(TBSONGBOUNDS))) * 1000; }

void DlgPLIBTStart() { DlgPLISetSongStart(SliderMs()); }
void DlgPLIBTEnd() { DlgPLISetSongEnd(SliderMs()); }

void DlgPLIHScroll(LPARAM lParam)
{
    const HWND slider = reinterpret_cast<HWND>(lParam);
    if (slider == nullptr)
        return;
    const int pos = TBMGetPos(slider);
    switch (GetDlgCtrlID(slider)) {
    case TBPANNING: DlgPLISetPanning(pos, 0); break;
    case TBVOLUME: DlgPLISetVolume(pos, 0); break;
    default: DlgPLISetSongPos(static_cast<std::uint32_t>(pos) * 1000, 0); break;
    }
}

// ---- opening and closing ----

void DlgPLIInitLengths()
{
    ComboFillInt(Control(CBOFADELEN), 500, 15000, 500);
    ComboFillInt(Control(CBODUOLEN), 500, 15000, 500);
    ComboFillInt(Control(CBOBEATNO), 1, 25, 1);
    SetNumberField(CBOFADELEN, PLIDataEdit.Override.lFadeLen);
    SetNumberField(CBODUOLEN, PLIDataEdit.Override.lDuoLen);
    SetNumberField(CBOBEATNO, PLIDataEdit.Override.Effect.iPerBeats);
}

void DlgPLIInitDialog(HWND hwndDlg)
{
    hwndPLI = hwndDlg;
    DlgSetIcon(hwndDlg, ICON_PLITEM);
    PLIDataEdit = *PLIData;
    const SONG* song = PLIGetSong(&PLIDataEdit);
    char title[MAXL_FULLTITLE + 1];
    WMSetText(Control(EDTITLE), SongGetFullTitle(song, title));
    char desc[MAXL_PLIDESC];
    StrCopy(desc, StrView(PLIDataEdit.cDesc));
    WMSetText(Control(EDDESC), desc);
    TrackbarSetRange(Control(TBVOLUME), 0, MAX_VOLUME, PLIDataEdit.Override.iVolume);
    TrackbarSetRange(Control(TBPANNING), MIN_PANNING, MAX_PANNING, PLIDataEdit.Override.iPanning);
    TBMSetRange(Control(TBSONGBOUNDS), 0, song != nullptr ? static_cast<int>(song->General.lLength / 1000) : 0);
    DlgPLISetVolume(PLIDataEdit.Override.iVolume, 1);
    DlgPLISetPanning(PLIDataEdit.Override.iPanning, 1);
    DlgPLISetSongStart(PLIDataEdit.Override.timMainPart.lStart);
    DlgPLISetSongEnd(PLIDataEdit.Override.timMainPart.lEnd);
    DlgPLISetSongPos(0, 1);
    for (const SECTION& s : Sections)
        DlgPLIEnableSection(s, *s.Flag(&PLIDataEdit));
    for (const OPTIONBOX& o : OptionBoxes)
        BMSetCheck(Control(o.Id), OptionBoxState(*o.Field(&PLIDataEdit)));
    // A fade type outside the table shows no radio button.
    const int fadeType = PLIDataEdit.Override.iFadeType;
    if (fadeType >= 0 && fadeType < MAXI_FADETYPES)
        BMSetCheck(Control(FadeTypeCtrl[fadeType]), BST_CHECKED);
    DlgPLIInitLengths();
    SetFocus(Control(EDDESC));
}

// The text's leading decimal digits, of at most MAXL_LENGTHTEXT characters; 0 without any.
std::uint32_t ReadLength(int Id)
{
    char text[MAXL_LENGTHTEXT + 1];
    WMGetText(Control(Id), sizeof text, text);
    return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
}

void DlgPLIEnd(HWND hwnd, int Result)
{
    hwndPLI = nullptr;
    EndDialog(hwnd, Result);
}

void DlgPLIBTOK(HWND hwnd)
{
    WMGetText(Control(EDDESC), MAXL_PLIDESC, PLIDataEdit.cDesc);
    PLIDataEdit.Override.lDuoLen = ReadLength(CBODUOLEN);
    PLIDataEdit.Override.lFadeLen = ReadLength(CBOFADELEN);
    *PLIData = PLIDataEdit;
    DlgPLIEnd(hwnd, 1);
}

void DlgPLIBTCancel(HWND hwnd) { DlgPLIEnd(hwnd, 0); }

void DlgPLIFadeTypeClicked(int Id)
{
    for (const FADETYPEBUTTON& b : FadeTypeButtons)
        if (b.Id == Id)
            PLIDataEdit.Override.iFadeType = b.FadeType;
}

// "Begin", "Full", "Finish" and "Stop" have no action here.
void DlgPLICommand(HWND hwnd, WPARAM wParam)
{
    if (HIWORD(wParam) != BN_CLICKED)
        return;
    const int id = LOWORD(wParam);
    switch (id) {
    case IDOK: DlgPLIBTOK(hwnd); return;
    case IDCANCEL: DlgPLIBTCancel(hwnd); return;
    case BTSTART: DlgPLIBTStart(); return;
    case BTEND: DlgPLIBTEnd(); return;
    case RBFADEOUT:
    case RBFADEIN:
    case RBFADEOVER: DlgPLIFadeTypeClicked(id); return;
    default: break;
    }
    if (const SECTION* section = SectionOfBox(id))
        DlgPLIEnableSection(*section, Checked(id));
    else if (const OPTIONBOX* box = OptionOfBox(id))
        DlgPLIOptionClicked(*box);
}

INT_PTR CALLBACK DlgPLIWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: DlgPLIInitDialog(hwnd); return 0;
    case WM_HSCROLL: DlgPLIHScroll(lParam); return 0;
    case WM_CLOSE: DlgPLIEnd(hwnd, 0); return 1;
    case WM_COMMAND: DlgPLICommand(hwnd, wParam); return 1;
    default: return 0;
    }
}

}  // namespace

int PLIEdit(HWND Owner, PLI* Item)
{
    if (Item == nullptr)
        return 0;
    PLIData = Item;
    return DialogBoxParamA(hInst, MAKEINTRESOURCEA(DLG_PLI), Owner, DlgPLIWndProc, 0) == 1 ? 1 : 0;
}

void DlgPLIFreshTestPos(const char* PosS) { WMSetText(Control(EDPLIPOS), PosS); }
