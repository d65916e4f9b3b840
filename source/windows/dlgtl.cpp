#include "dlgtl.h"

#include "defs.h"
#include "dlgcomm.h"
#include "dlgplace.h"
#include "dlgtp.h"
#include "dlgwait.h"
#include "fnana.h"
#include "fncomm.h"
#include "fndb.h"
#include "fnlang.h"
#include "fnmix.h"
#include "fnpl.h"
#include "fnsong.h"
#include "fntl.h"
#include "fnwalk.h"
#include "resource.h"
#include "string2.h"
#include "winamp.h"
#include "wm.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <unordered_set>
#include <vector>

HWND hwndTL;

namespace {

constexpr int MAXL_MULTISELECT = 32768;
constexpr int MAXL_PROGRESS = 200;
constexpr int MAXL_TOTALLINE = 400;
constexpr int MAXL_MESSAGE = 400;
constexpr std::size_t MAXI_LISTEDFILES = 10;  // files the add's report names

// The counts of the total line, as the table was last filled.
struct {
    int Tracks, Hidden;
} Totals;

// The sort key of the latest sort; kept for the whole run.
int LastColumn = -1;
// The table's rows in display order; the list view holds only their count.
std::vector<SONG*> Rows;

constexpr const char* cDlgTLColumnTitle[TL_COLUMNS] = {
    "Artist", "Title", "Album", "Comment", "Place", "Style", "Year", "H", "D", "Filename", "Loudness",
};
constexpr int iDlgTLColumnWidth[TL_COLUMNS] = {100, 150, 100, 100, 50, 75, 40, 20, 20, 200, 90};

constexpr int Statics[] = {STTOTALTRACKS, STCOMMENT, STPLACE};
constexpr int Buttons[] = {BTMODIFY, BTDELETE, BTPLAY, BTNEW, BTUNDELETE, BTSTOP};

std::array<PLACEMENT, 13> DlgTLLayout(int W, int H)
{
    std::array<PLACEMENT, 13> layout{{
        {LVTRACKLIST, 5, 5, W - 10, H - 130},
        {GBINFO, 5, H - 125, W - 10, 120},
        {CBSHOWDELETED, W - 120, H - 115, 110, 15},
        {IDOK, W - 80, H - 40, 65, 25},
    }};
    std::size_t n = 4;
    for (int i = 0; i < 3; ++i)
        layout[n++] = {Statics[i], 15, H - 115 + 16 * i, i == 0 ? W - 140 : W - 30, 15};
    for (int i = 0; i < 6; ++i)
        layout[n++] = {Buttons[i], 15 + 65 * (i % 3), H - 65 + 25 * (i / 3), 64, 24};
    return layout;
}

// ---- list view messages the wm layer has no wrapper for ----

void LVInsertColumn(HWND List, int Idx, const char* Title, int Width)
{
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = Width;
    column.pszText = const_cast<char*>(Title);
    column.iSubItem = Idx;
    SendMessageA(List, LVM_INSERTCOLUMNA, static_cast<WPARAM>(Idx), reinterpret_cast<LPARAM>(&column));
}

void LVRedrawRow(HWND List, int Row) { SendMessageA(List, LVM_REDRAWITEMS, static_cast<WPARAM>(Row), Row); }

// ---- rows ----

HWND TrackList() { return GetDlgItem(hwndTL, LVTRACKLIST); }

DB* TheDB() { return MainGetDB(); }

LIST* TheTL() { return DBGetTL(MainGetDB()); }

bool RowShown(const SONG* Song) { return TheDB()->bShowHidden || !Song->General.bHidden; }

int CountHidden()
{
    int hidden = 0;
    LISTITEM* key = nullptr;
    for (SONG* song = TLFindFirstSong(TheTL(), &key); song != nullptr; song = TLFindNextSong(TheTL(), &key))
        hidden += song->General.bHidden ? 1 : 0;
    return hidden;
}

void DlgTLSetRow(int NO, SONG* Song)
{
    Rows.at(static_cast<std::size_t>(NO)) = Song;
    LVRedrawRow(TrackList(), NO);
}

// The rows keep their selection and the focus through a sort.
std::unordered_set<const SONG*> MarkedSongs(HWND List, int Mask)
{
    std::unordered_set<const SONG*> songs;
    for (int row = LVMGetNextItem(List, -1, Mask); row >= 0; row = LVMGetNextItem(List, row, Mask))
        songs.insert(DlgTLGetItem(row));
    return songs;
}

void RestoreMarks(HWND List, const std::unordered_set<const SONG*>& Selected, const SONG* Focused)
{
    LVSetRowState(List, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (std::size_t row = 0; row < Rows.size(); ++row) {
        const UINT state = (Selected.count(Rows[row]) != 0 ? LVIS_SELECTED : 0u) | (Rows[row] == Focused ? LVIS_FOCUSED : 0u);
        if (state != 0)
            LVSetRowState(List, static_cast<int>(row), state, state);
    }
}

// A stable sort of the rows; column "H" says "first before second" for
// every pair, which leaves the order as it is.
void DlgTLSortTracks(int Column)
{
    const int key = Column == LastColumn ? Column + TL_DESCENDING : Column;
    const HWND list = TrackList();
    if (Column != TL_COLUMN_HIDDEN) {
        const auto selected = MarkedSongs(list, LVNI_SELECTED);
        const SONG* focused = DlgTLGetFocusedSong();
        std::stable_sort(Rows.begin(), Rows.end(), [key](const SONG* a, const SONG* b) {
            return TLCompareAlphabetic(a, b, key) < 0;
        });
        if (!selected.empty() || focused != nullptr)
            RestoreMarks(list, selected, focused);
        InvalidateRect(list, nullptr, TRUE);
    }
    LastColumn = key;
}

// ---- adding tracks ----

struct ADDSTATE {
    PLACEDATA Place;
    char Root[4];  // the drive root whose type is in RootRemovable
    int RootRemovable;
    int Skipped;                      // files whose path is longer than a track's file name
    int NoAnsi;                             // files without an ANSI path
    std::vector<std::wstring> NoAnsiNames;  // the first of them, as the file system names them
    WALKSTATS Walk;
};

// Adding a folder takes every file; the drive's type is asked once per drive.
int RootRemovable(const char* FileName, ADDSTATE& State)
{
    char root[sizeof State.Root];
    StrCopy(root, FileName);
    if (State.Root[0] == '\0' || std::strcmp(root, State.Root) != 0) {
        StrCopy(State.Root, root);
        State.RootRemovable = DriveRemovable(root);
    }
    return State.RootRemovable;
}

// The mixer and the status display send to the control panel and wait;
// they are served while a long add keeps this thread busy, other input is not.
void ServeWorkers()
{
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

void DlgTLAdd1File(const char* FileName, ADDSTATE& State)
{
    if (std::strlen(FileName) > MAXL_SONGPATH) {
        ++State.Skipped;
        return;
    }
    auto* song = static_cast<SONG*>(std::calloc(1, sizeof(SONG)));
    if (song == nullptr)
        return;
    if (!State.Place.bDontReadInfos) {
        ReadSongInfos(FileName, song, 1);
    } else {
        StrCopy(song->Desc.cFileName, FileName);
        song->Desc.iStyle = STYLE_NONE;
        song->General.bInfoNotRead = 1;
    }
    StrCopy(song->Desc.cPlace, State.Place.cPlace);
    song->General.bOnRemovable = RootRemovable(FileName, State);
    TLAddSong(TheTL(), song);
    AnaQueue(song);
    ServeWorkers();
}

void DlgTLNoAnsiPath(const WCHAR* Path, ADDSTATE& State)
{
    if (State.NoAnsiNames.size() < MAXI_LISTEDFILES)
        State.NoAnsiNames.emplace_back(Path);
    ++State.NoAnsi;
}

// A file chosen whole: added under its ANSI path, when it has one.
void DlgTLAddWide(const WCHAR* Path, ADDSTATE& State)
{
    char path[MAXL_SONGPATH + 1];
    switch (AnsiPath(Path, path, sizeof path)) {
    case ANSI_NAME:
    case ANSI_SHORT: DlgTLAdd1File(path, State); break;
    case ANSI_NONE: DlgTLNoAnsiPath(Path, State); break;
    case ANSI_TOOLONG: ++State.Skipped; break;
    }
}

// Wide, so that files without an ANSI path are named as the user knows them.
void DlgTLReportSkipped(const ADDSTATE& State)
{
    const int skipped = State.Skipped + State.Walk.TooLong;
    if (skipped == 0 && State.NoAnsi == 0 && State.Walk.Unread == 0 && State.Walk.Links == 0)
        return;
    char msg[MAXL_MESSAGE] = "";
    std::size_t n = 0;
    if (skipped > 0)
        n = std::strlen(StrFormat(msg, sizeof msg, "%d file(s) were not added: their path is longer than %d characters.\n",
                                  skipped, MAXL_SONGPATH));
    if (State.Walk.Unread > 0)
        n += std::strlen(StrFormat(msg + n, sizeof msg - n, "%d folder(s) could not be read.\n", State.Walk.Unread));
    if (State.Walk.Links > 0)
        n += std::strlen(StrFormat(msg + n, sizeof msg - n,
                                   "%d folder link(s) leading back into the walk were not followed.\n",
                                   State.Walk.Links));
    char reason[MAXL_MESSAGE];
    if (State.NoAnsi > 0)
        StrFormat(msg + n, sizeof msg - n, "%d file(s) were not added: %s:", State.NoAnsi,
                  DlgNoAnsiName(reason, sizeof reason));
    std::wstring text = DlgWide(strtrimr(msg));
    for (const std::wstring& name : State.NoAnsiNames)
        text.append(L"\n").append(name);
    if (const int more = State.NoAnsi - static_cast<int>(State.NoAnsiNames.size()); more > 0)
        text.append(DlgWide(StrFormat(reason, sizeof reason, "\n... and %d more.", more)));
    MessageBoxW(hwndTL, text.c_str(), DlgWide(strWarning).c_str(), MB_OK | MB_ICONWARNING);
}

void DlgTLAddDirFile(const char* Path, const WCHAR* WidePath, void* Param)
{
    auto& State = *static_cast<ADDSTATE*>(Param);
    if (Path == nullptr) {
        DlgTLNoAnsiPath(WidePath, State);
        return;
    }
    char text[MAXL_PROGRESS];
    DlgWaitMsg(2, StrFormat(text, sizeof text, "Adding %s...", Path));
    DlgTLAdd1File(Path, State);
}

// Runs the place dialog; bDisableRecursive as given.
bool DlgTLAskPlace(ADDSTATE& State, int DisableRecursive)
{
    State.Place = PLACEDATA{};
    State.Place.bDisableRecursive = DisableRecursive;
    return PlaceEdit(hwndTL, &State.Place) != 0;
}

// The names of a multiple selection follow the folder, each ended by a NUL,
// the list by an empty name.
void DlgTLAddChosenFiles(const WCHAR* Files, int OnlyOne, ADDSTATE& State)
{
    if (OnlyOne) {
        DlgTLAddWide(Files, State);
        return;
    }
    std::wstring prefix = Files;
    if (prefix.empty() || prefix.back() != L'\\')
        prefix += L'\\';
    for (const WCHAR* name = Files + std::wcslen(Files) + 1; *name != L'\0'; name += std::wcslen(name) + 1)
        DlgTLAddWide((prefix + name).c_str(), State);
}

void DlgTLAddFiles()
{
    static WCHAR files[MAXL_MULTISELECT];
    int onlyOne = 0;
    if (!GetOpenFileNames(hwndTL, strTitleAddFiles, strFilterTracks, files, MAXL_MULTISELECT, &onlyOne)) {
        if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
            ErrorMsg(hwndTL, "Too many files were chosen at once. Choose fewer files, or add their folder.");
        return;
    }
    ADDSTATE State{};
    if (!DlgTLAskPlace(State, 1))
        return;
    EnableWindow(hwndTL, FALSE);
    DlgTLAddChosenFiles(files, onlyOne, State);
    EnableWindow(hwndTL, TRUE);
    DlgTLFillTable();
    DlgTLReportSkipped(State);
}

void DlgTLAddDirectory()
{
    WCHAR folder[MAX_PATH];
    if (!SelectDirectory(hwndTL, folder) || folder[0] == L'\0')
        return;
    ADDSTATE State{};
    if (!DlgTLAskPlace(State, 0))
        return;
    DlgWaitShow(hwndTL, "Reading contents of directories and adding them to list of tracks", "");
    EnableWindow(hwndTL, FALSE);
    WalkFolder(folder, State.Place.bRecursive, DlgTLAddDirFile, &State, &State.Walk);
    EnableWindow(hwndTL, TRUE);
    DlgTLFillTable();
    DlgWaitHide();
    DlgTLReportSkipped(State);
}

// ---- commands on the focused row ----

void DlgTLHideSelected()
{
    SONG* song = DlgTLGetFocusedSong();
    if (song == nullptr) {
        ErrorMsg(hwndTL, "No focused item!");
        return;
    }
    if (song->General.bHidden) {
        ErrorMsg(hwndTL, "Item already hidden!");
        return;
    }
    if (MessageBoxA(hwndTL, "Are you sure you want to hide selected items?", strWarning, MB_YESNO | MB_ICONWARNING) !=
        IDYES)
        return;
    song->General.bHidden = 1;
    DlgTLFillTable();
}

void DlgTLUnHideSelected()
{
    SONG* song = DlgTLGetFocusedSong();
    if (song == nullptr || !song->General.bHidden)
        return;
    song->General.bHidden = 0;
    DlgTLFillTable();
}

void DlgTLModifySelected()
{
    const int row = DlgTLGetFocusedIdx();
    SONG* song = DlgTLGetItem(row);
    if (song == nullptr || !TPEdit(hwndTL, song))
        return;
    DlgTLSetRow(row, song);
    DlgLibraryChanged(0);
}

void DlgTLNew()
{
    SONG* song = SongCreate();
    if (song == nullptr)
        return;
    song->MPegInfo.iVersion = 1;
    if (!TPEdit(hwndTL, song)) {
        std::free(song);
        return;
    }
    TLAddSong(TheTL(), song);
    DlgTLFillTable();
}

void DlgTLPlayFocused()
{
    SONG* song = DlgTLGetFocusedSong();
    if (song == nullptr) {
        ErrorMsg(hwndTL, "No focused item!");
        return;
    }
    if (MixLoadSong(StateGetTest(), song, SongGetStart(song)) != nullptr)
        MixPlay(StateGetTest());
}

void DlgTLToggleShowHidden()
{
    TheDB()->bShowHidden = BMGetCheck(GetDlgItem(hwndTL, CBSHOWDELETED)) == BST_CHECKED ? 1 : 0;
    if (CountHidden() > 0)
        DlgTLFillTable();
}

// ---- database commands ----

// The library has nothing a user could miss: no track and no playlist. (A
// new library has none, nor has one whose file failed to load.)
bool LibraryEmpty(DB* db) { return TLGetTotal(DBGetTL(db)) == 0 && ListGetTotal(DBGetPLL(db)) == 0; }

// Why the library could not be saved where it came from.
const char* SaveFailure(DB* db, DWORD Error, char (&Msg)[MAXL_MESSAGE])
{
    char reason[MAXL_MESSAGE / 2] = "";
    if (Error != 0)
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, Error, 0, reason,
                       sizeof reason, nullptr);
    if (DBGetPath(db)[0] == '\0')
        return StrCopy(Msg, "The library has not been saved to a file yet."), Msg;
    if (db->iLoadFailure == DBLOAD_DAMAGED)
        return StrFormat(Msg, sizeof Msg, "%s could not be read, so it is not written over.", DBGetPath(db));
    if (db->iLoadFailure == DBLOAD_UNREADABLE)
        return StrFormat(Msg, sizeof Msg,
                         "%s could not be opened, so the library shown is not the one in that file; "
                         "it is not written over.",
                         DBGetPath(db));
    return StrFormat(Msg, sizeof Msg, "The library could not be written to\n%s\n%s", DBGetPath(db), strtrimr(reason));
}

// A name chosen in the save dialog, which asked before replacing a file: a
// file that could not be opened may be written over now, a damaged one never.
void DlgTLSetChosenPath(DB* db, const char* Name)
{
    DBSetPath(db, Name);
    if (db->iLoadFailure == DBLOAD_UNREADABLE)
        db->iLoadFailure = DBLOAD_OK;
}

// The library in memory (the mixer has let go of every released item).
void DlgTLLibraryReplaced()
{
    DlgTLFillTable();
    DlgLibraryChanged(1);
}

void DlgTLLoadFailed(HWND Owner, DB* db)
{
    char msg[MAXL_MESSAGE];
    ErrorMsg(Owner, StrFormat(msg, sizeof msg,
                              "%s is damaged or not a Tandem database; %d tracks and %d playlists could be read; "
                              "the file is left as it is.",
                              DBGetPath(db), TLGetTotal(DBGetTL(db)), ListGetTotal(DBGetPLL(db))));
}

// The buttons of the question about a file that could not be opened.
HHOOK LabelHook;

LRESULT CALLBACK DlgTLLabelButtons(int Code, WPARAM wParam, LPARAM lParam)
{
    if (Code == HCBT_ACTIVATE) {
        const auto box = reinterpret_cast<HWND>(wParam);
        SetDlgItemTextA(box, IDYES, "&Retry");
        SetDlgItemTextA(box, IDNO, "&Open...");
        UnhookWindowsHookEx(LabelHook);
        LabelHook = nullptr;
    }
    return CallNextHookEx(nullptr, Code, wParam, lParam);
}

// IDYES: try again, IDNO: open another file, IDCANCEL: go on with the empty library.
int DlgTLAskUnreadable(HWND Owner, DB* db)
{
    char msg[MAXL_MESSAGE + 200];
    StrFormat(msg, sizeof msg,
              "%s could not be opened: its drive, network share or folder may be missing, or the file was moved.\n\n"
              "The library shown is empty; it is not saved over that file without asking.\n\n"
              "Retry: look again (connect the drive first).\nOpen...: choose another database.\n"
              "Cancel: go on with the empty library.",
              DBGetPath(db));
    LabelHook = SetWindowsHookExA(WH_CBT, DlgTLLabelButtons, nullptr, GetCurrentThreadId());
    const int answer = MessageBoxA(Owner, msg, strWarning, MB_YESNOCANCEL | MB_ICONWARNING);
    if (LabelHook != nullptr)
        UnhookWindowsHookEx(LabelHook);
    LabelHook = nullptr;
    return answer;
}

void DlgTLNewDBase()
{
    if (DlgLibraryBusy(hwndTL) || !DlgTLKeepLibrary(hwndTL))
        return;
    DBFree(TheDB());
    DBSetPath(TheDB(), "");
    DlgTLLibraryReplaced();
}

void DlgTLOpenDBase()
{
    char name[MAXL_DBPATH];
    if (GetOpenFileName2(hwndTL, strTitleOpenDB, strFilterDB, name, sizeof name))
        DlgTLOpenDBaseFile(hwndTL, name);
}

// A write that fails is reported, so the user does not take an unsaved
// library for saved.
void DlgTLSaveDBase(int SaveAs)
{
    DB* db = TheDB();
    if (SaveAs || DBGetPath(db)[0] == '\0') {
        char name[MAXL_DBPATH];
        if (!GetSaveFileName2(hwndTL, strTitleSaveDB, strFilterDB, name, strExtDBase, sizeof name, 0))
            return;
        DlgTLSetChosenPath(db, name);
    }
    if (!DBStore(db)) {
        char msg[MAXL_MESSAGE];
        ErrorMsg(hwndTL, SaveFailure(db, GetLastError(), msg));
    }
}

// Measures the chosen rows again, whatever they hold.
void DlgTLMeasure(int Mask)
{
    int row = -1;
    for (SONG* song = DlgTLGetNextSong(&row, Mask); song != nullptr; song = DlgTLGetNextSong(&row, Mask))
        AnaRequeue(song);
    DlgTLShowProgress();
}

// ---- the window ----

void DlgTLInit(HWND hwnd)
{
    hwndTL = hwnd;
    DlgSetIcon(hwnd, ICON_TRACKDBASE);
    for (int i = 0; i < TL_COLUMNS; ++i)
        LVInsertColumn(TrackList(), i, cDlgTLColumnTitle[i], iDlgTLColumnWidth[i]);
    DlgTLFillTable();
    BMSetCheck(GetDlgItem(hwnd, CBSHOWDELETED), TheDB()->bShowHidden ? BST_CHECKED : BST_UNCHECKED);
}

void DlgTLResize(WPARAM wParam, LPARAM lParam)
{
    if (wParam == SIZE_MINIMIZED)
        return;
    DlgApplyLayout(hwndTL, DlgTLLayout(LOWORD(lParam), HIWORD(lParam)));
}

void DlgTLRowText(NMLVDISPINFOA* Info)
{
    const auto row = static_cast<std::size_t>(Info->item.iItem);
    char text[MAXL_TLCOLUMNTEXT + 1];
    if (Info->item.iItem >= 0 && row < Rows.size())
        LVDispText(Info, TLGetColumnText(Rows[row], Info->item.iSubItem, text));
}

const char* DlgTLFindText(int Row, char* Buffer)
{
    return TLGetColumnText(Rows[static_cast<std::size_t>(Row)], 0, Buffer);
}

// Nonzero when the answer is in the dialog's message result.
int DlgTLNotify(NMHDR* Header)
{
    if (Header->idFrom != LVTRACKLIST)
        return 0;
    if (Header->code == LVN_COLUMNCLICK)
        DlgTLSortTracks(reinterpret_cast<const NMLISTVIEW*>(Header)->iSubItem);
    else if (Header->code == LVN_GETDISPINFOA)
        DlgTLRowText(reinterpret_cast<NMLVDISPINFOA*>(Header));
    else
        return LVAnswerFind(hwndTL, Header, static_cast<int>(Rows.size()), DlgTLFindText);
    return 0;
}

void DlgTLEnd(HWND hwnd)
{
    hwndTL = nullptr;
    Rows = {};
    DestroyWindow(hwnd);
}

void DlgTLImportM3U() {}

void DlgTLCommand(WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case BTSTOP: WAmpBtStop(StateGetTest()); break;
    case BTMODIFY: DlgTLModifySelected(); break;
    case BTNEW: DlgTLNew(); break;
    case BTDELETE: DlgTLHideSelected(); break;
    case BTUNDELETE: DlgTLUnHideSelected(); break;
    case BTPLAY: DlgTLPlayFocused(); break;
    case CBSHOWDELETED: DlgTLToggleShowHidden(); break;
    case CMNEW: DlgTLNewDBase(); break;
    case CMOPEN: DlgTLOpenDBase(); break;
    case CMSAVE: DlgTLSaveDBase(0); break;
    case CMSAVEAS: DlgTLSaveDBase(1); break;
    case CMIMPORTM3U: DlgTLImportM3U(); break;
    case CMADDFILE: DlgTLAddFiles(); break;
    case CMADDDIR: DlgTLAddDirectory(); break;
    case CMMEASURESEL: DlgTLMeasure(LVNI_SELECTED); break;
    case CMMEASUREALL: DlgTLMeasure(LVNI_ALL); break;
    default: break;
    }
}

INT_PTR CALLBACK DlgTLWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: DlgTLInit(hwnd); return 0;
    case WM_SIZE: DlgTLResize(wParam, lParam); return 0;
    case WM_NOTIFY: return DlgTLNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_CLOSE: DlgTLEnd(hwnd); return 1;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            DlgTLEnd(hwnd);
            return 1;
        }
        DlgTLCommand(wParam);
        return 0;
    default: return 0;
    }
}

}  // namespace

void TLEdit()
{
    if (hwndTL != nullptr) {
        if (IsIconic(hwndTL))
            ShowWindow(hwndTL, SW_RESTORE);
        BringWindowToTop(hwndTL);
        return;
    }
    CreateDialogParamA(hInst, MAKEINTRESOURCEA(DLG_TL), hwndMain, DlgTLWndProc, 0);
}

// Only the rows are rebuilt: the list view asks for the texts it shows.
void DlgTLFillTable()
{
    if (hwndTL == nullptr)
        return;
    LIST* tl = TheTL();
    const int hidden = CountHidden();
    const int total = TLGetTotal(tl);
    Rows.clear();
    Rows.reserve(static_cast<std::size_t>(TheDB()->bShowHidden ? total : total - hidden));
    LISTITEM* key = nullptr;
    for (SONG* song = TLFindFirstSong(tl, &key); song != nullptr; song = TLFindNextSong(tl, &key))
        if (RowShown(song))
            Rows.push_back(song);
    LVSetRowCount(TrackList(), static_cast<int>(Rows.size()), 0);
    Totals = {total, hidden};
    DlgTLShowProgress();
}

void DlgTLShowProgress()
{
    if (hwndTL == nullptr)
        return;
    ANAPROGRESS progress;
    AnaGetProgress(&progress);
    char line[MAXL_TOTALLINE];
    const std::size_t n = std::strlen(
        StrFormat(line, sizeof line, "Total track(s): %d  Hidden track(s): %d", Totals.Tracks, Totals.Hidden));
    if (progress.iTotal > 0)
        StrFormat(line + n, sizeof line - n, "  Measuring %d of %d: %s", progress.iDone + 1, progress.iTotal,
                  progress.cCurrent);
    WMSetText(GetDlgItem(hwndTL, STTOTALTRACKS), line);
}

void DlgTLRedrawRows()
{
    if (hwndTL != nullptr)
        InvalidateRect(TrackList(), nullptr, FALSE);
}

SONG* DlgTLGetItem(int NO)
{
    return hwndTL != nullptr && NO >= 0 && static_cast<std::size_t>(NO) < Rows.size() ? Rows[static_cast<std::size_t>(NO)]
                                                                                     : nullptr;
}

int DlgTLGetNextIdx(int* StartNo, int Mask)
{
    *StartNo = hwndTL != nullptr ? LVMGetNextItem(TrackList(), *StartNo, Mask) : -1;
    return *StartNo;
}

SONG* DlgTLGetNextSong(int* StartNo, int Mask)
{
    return DlgTLGetNextIdx(StartNo, Mask) >= 0 ? DlgTLGetItem(*StartNo) : nullptr;
}

int DlgTLGetFocusedIdx()
{
    int start = -1;
    return DlgTLGetNextIdx(&start, LVNI_FOCUSED);
}

SONG* DlgTLGetFocusedSong() { return DlgTLGetItem(DlgTLGetFocusedIdx()); }

int DlgTLStoreLibrary()
{
    DB* db = TheDB();
    return LibraryEmpty(db) || DBStore(db) ? 1 : 0;
}

int DlgTLKeepLibrary(HWND Owner)
{
    DB* db = TheDB();
    while (!DlgTLStoreLibrary()) {
        char msg[MAXL_MESSAGE];
        char question[MAXL_MESSAGE + 80];
        StrFormat(question, sizeof question, "%s\n\nSave the library under another name?\n(No: leave it unsaved)",
                  SaveFailure(db, GetLastError(), msg));
        const int answer = MessageBoxA(Owner, question, strWarning, MB_YESNOCANCEL | MB_ICONWARNING);
        if (answer == IDNO)
            return 1;
        char name[MAXL_DBPATH];
        if (answer != IDYES || !GetSaveFileName2(Owner, strTitleSaveDB, strFilterDB, name, strExtDBase, sizeof name, 0))
            return 0;
        DlgTLSetChosenPath(db, name);
    }
    return 1;
}

int DlgTLLoadDBase(HWND Owner, const char* Path)
{
    DB* db = TheDB();
    char path[MAXL_DBPATH + 1];
    StrCopy(path, Path);
    for (;;) {
        DBSetPath(db, path);
        const int ok = DBRestore(db);
        AnaQueueAll(DBGetTL(db));
        DlgTLLibraryReplaced();
        if (db->iLoadFailure == DBLOAD_DAMAGED)
            DlgTLLoadFailed(Owner, db);
        if (db->iLoadFailure != DBLOAD_UNREADABLE)
            return ok;
        const int answer = DlgTLAskUnreadable(Owner, db);
        if (answer != IDYES && answer != IDNO)
            return 0;
        char name[MAXL_DBPATH];
        if (answer == IDNO && GetOpenFileName2(Owner, strTitleOpenDB, strFilterDB, name, sizeof name))
            StrCopy(path, name);
    }
}

int DlgTLOpenDBaseFile(HWND Owner, const char* Path)
{
    if (DlgLibraryBusy(Owner) || !DlgTLKeepLibrary(Owner))
        return 0;
    return DlgTLLoadDBase(Owner, Path);
}
