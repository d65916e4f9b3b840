#include "dlgtp.h"

#include "dlgcomm.h"
#include "dlgtt.h"
#include "fnana.h"
#include "fncomm.h"
#include "fnlang.h"
#include "fnsong.h"
#include "mp3.h"
#include "resource.h"
#include "string2.h"
#include "wm.h"

#include <commdlg.h>

#include <cstring>

HWND hwndTP;

namespace {

constexpr int MAXL_INFOLINE = 80;
constexpr int MAXL_GENRE = 49;
constexpr int MAXL_RELOADNAME = 512;
constexpr int MAXL_BROWSENAME = 260;

SONG* TPData;
SONG TPDataEdit;

constexpr const char* MPegVersion[] = {"1.0", "2.0", "2.5"};

struct TEXTFIELD {
    int Id;
    char* (*Field)(SONG*);
    std::size_t Size;
};

// The edit fields and the record fields they show; each keeps Size - 1 characters.
constexpr TEXTFIELD TextFields[] = {
    {EDFILENAME, [](SONG* s) { return s->Desc.cFileName; }, sizeof SONG::Desc.cFileName},
    {EDARTIST, [](SONG* s) { return s->Desc.cArtist; }, sizeof SONG::Desc.cArtist},
    {EDTITLE, [](SONG* s) { return s->Desc.cTitle; }, sizeof SONG::Desc.cTitle},
    {EDALBUM, [](SONG* s) { return s->Desc.cAlbum; }, sizeof SONG::Desc.cAlbum},
    {EDYEAR, [](SONG* s) { return s->Desc.cYear; }, sizeof SONG::Desc.cYear},
    {EDCOMMENT, [](SONG* s) { return s->Desc.cComment; }, sizeof SONG::Desc.cComment},
    {EDPLACE, [](SONG* s) { return s->Desc.cPlace; }, sizeof SONG::Desc.cPlace},
};

HWND Control(int Id) { return GetDlgItem(hwndTP, Id); }

void SetLine(int Id, const char* Text) { WMSetText(Control(Id), Text); }

const char* VersionName(int Version)
{
    return Version >= 1 && Version <= 3 ? MPegVersion[Version - 1] : strUnknown;
}

const char* ChannelName(int Mode) { return Mode >= 0 && Mode <= 3 ? MP3Channels[Mode] : strUnknown; }

void DlgTPSetInfoLines(const SONG* Data)
{
    char S[MAXL_INFOLINE];
    char time[20];
    SetLine(STLAYER, StrFormat(S, sizeof S, "MPeg %s layer %d", VersionName(Data->MPegInfo.iVersion),
                               Data->MPegInfo.iLayer));
    SetLine(STSIZE, StrFormat(S, sizeof S, "Size: %u bytes", Data->General.lSize));
    SetLine(STLENGTH,
            StrFormat(S, sizeof S, "Length: %s", strtimefrmt(static_cast<int>(Data->General.lLength), time, 0, 0)));
    SetLine(STCHANNELS, StrFormat(S, sizeof S, "Channels: %s", ChannelName(Data->MPegInfo.iChannels)));
    SetLine(STSAMPLERATE, StrFormat(S, sizeof S, "Sample rate: %u Hz", Data->MPegInfo.lSampleRate));
    SetLine(STBITRATE, StrFormat(S, sizeof S, "Bit rate: %u Kbits/sec", Data->MPegInfo.lBitRate));
    if (Data->MPegInfo.lFrames != 0)
        StrFormat(S, sizeof S, "Frames: %u  Size: %u bytes", Data->MPegInfo.lFrames, Data->MPegInfo.lFrameSize);
    else
        StrCopy(S, "Frames: Unknown  Size: >1024 bytes");
    SetLine(STFRAMES, S);
    SetLine(STLOUDNESS, AnaFormatLevels(Data, S, sizeof S));
    SetLine(STMUSIC, AnaFormatMusic(Data, S, sizeof S));
}

// The list is sorted, so the prefix search finds an exact name before the longer names that begin with it.
void DlgTPSelectGenre(int Style)
{
    char name[MAXL_STYLE + 1];
    SendMessageA(Control(CBSTYLE), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(MP3GetStyle(Style, name)));
}

void DlgTPSetFields(SONG* Data)
{
    for (const TEXTFIELD& f : TextFields)
        WMSetText(Control(f.Id), f.Field(Data));
    DlgTPSelectGenre(Data->Desc.iStyle);
    DlgTPSetInfoLines(Data);
}

int GenreIndex(const char* Name)
{
    for (int i = 0; i <= MP3MAXSTYLE; ++i)
        if (std::strcmp(Name, MP3Style[i]) == 0)
            return i;
    return STYLE_NONE;
}

// The fields reach the record even when the result is 0.
int DlgTPDone(SONG* Data)
{
    for (const TEXTFIELD& f : TextFields)
        WMGetText(Control(f.Id), static_cast<int>(f.Size), f.Field(Data));
    char genre[MAXL_GENRE + 1];
    Data->Desc.iStyle = GenreIndex(WMGetText(Control(CBSTYLE), sizeof genre, genre));
    strtrimr(Data->Desc.cFileName);
    strtrimr(Data->Desc.cTitle);
    strtrimr(Data->Desc.cArtist);
    return Data->Desc.cFileName[0] != '\0' && Data->Desc.cTitle[0] != '\0' && Data->Desc.cArtist[0] != '\0' ? 1 : 0;
}

void TPReload(const char* FileName)
{
    switch (ReadSongInfos(FileName, &TPDataEdit, 0)) {
    case RSI_TAG: DlgTPSetFields(&TPDataEdit); break;
    case RSI_NOTAG: WarningMsg(hwndTP, "TAG not found."); break;
    default: ErrorMsg(hwndTP, "File not found, or not valid MP3."); break;
    }
}

// A name longer than a track's file name is refused: cut, it would name another file.
bool FileNameFits(const char* FileName)
{
    if (std::strlen(FileName) <= MAXL_SONGPATH)
        return true;
    char msg[100];
    ErrorMsg(hwndTP, StrFormat(msg, sizeof msg, "The file name is longer than %d characters.", MAXL_SONGPATH));
    return false;
}

void DlgTPReloadTyped()
{
    char name[MAXL_RELOADNAME + 1];
    WMGetText(Control(EDFILENAME), sizeof name, name);
    if (FileNameFits(name))
        TPReload(name);
}

void TPGetFileName()
{
    char name[MAXL_BROWSENAME];
    WMGetText(Control(EDFILENAME), sizeof name, name);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwndTP;
    ofn.hInstance = hInst;
    ofn.lpstrFilter = strFilterTracks;
    ofn.lpstrFile = name;
    ofn.nMaxFile = sizeof name;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameA(&ofn) || !FileNameFits(name))
        return;
    WMSetText(Control(EDFILENAME), name);
    TPReload(name);
}

// What the times dialog confirms stays in the working copy until OK here.
void DlgTPEditTimes()
{
    DlgTPDone(&TPDataEdit);
    TTEdit(hwndTP, &TPDataEdit);
}

void DlgTPInitDlg(HWND hwnd, SONG* Data)
{
    hwndTP = hwnd;
    DlgSetIcon(hwnd, ICON_TRACKPROP);
    for (int i = 0; i <= MP3MAXSTYLE; ++i)
        CBAddString(Control(CBSTYLE), MP3Style[i]);
    CBAddString(Control(CBSTYLE), MP3Style255);
    TPDataEdit = *TPData;
    DlgTPSetFields(Data);
}

void DlgTPEnd(HWND hwnd, int Result)
{
    hwndTP = nullptr;
    EndDialog(hwnd, Result);
}

void DlgTPOK(HWND hwnd)
{
    if (!DlgTPDone(&TPDataEdit)) {
        ErrorMsg(hwnd, "No Filename, Title or Artist defined!");
        return;
    }
    *TPData = TPDataEdit;
    DlgTPEnd(hwnd, 1);
}

INT_PTR CALLBACK DlgTPWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG: DlgTPInitDlg(hwnd, TPData); return 1;
    case WM_CLOSE: DlgTPEnd(hwnd, 0); return 1;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: DlgTPOK(hwnd); return 1;
        case IDCANCEL: DlgTPEnd(hwnd, 0); return 1;
        case BTBROWSE: TPGetFileName(); return 0;
        case BTRELOAD: DlgTPReloadTyped(); return 0;
        case BTEDITTIME: DlgTPEditTimes(); return 0;
        default: return 0;
        }
    default: return 0;
    }
}

}  // namespace

int TPEdit(HWND Owner, SONG* Data)
{
    TPData = Data;
    return DialogBoxParamA(hInst, MAKEINTRESOURCEA(DLG_TP), Owner, DlgTPWndProc, 0) == 1 ? 1 : 0;
}
