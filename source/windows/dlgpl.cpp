#include "dlgpl.h"

#include "dlgcomm.h"
#include "dlgplc.h"
#include "dlgpli.h"
#include "dlgpln.h"
#include "dlgtl.h"
#include "fncomm.h"
#include "fndb.h"
#include "fnlang.h"
#include "fnmix.h"
#include "fnpl.h"
#include "fnpli.h"
#include "fnpll.h"
#include "fnsong.h"
#include "fntl.h"
#include "resource.h"
#include "string2.h"
#include "wm.h"

#include <commdlg.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

HWND hwndPL;

namespace {

constexpr int DLGPLSM_ALL = 0;
constexpr int DLGPLSM_INVERT = 1;
constexpr int DLGPLSM_ZERO = 2;

constexpr int MAXL_INFOLINE = 100;
constexpr int MAXL_CAPTION = MAXL_PLNAME + MAXL_PLITITLE + 30;
constexpr int MAXL_EXPORTNAME = 1024;
constexpr char EXPORT_EXT[] = ".M3U";
constexpr int MAXL_TIMETEXT = 20;
constexpr int ROWSTATE_MARKED = LVIS_SELECTED | LVIS_FOCUSED;

// Top to bottom, in the order the resize lays them out.
constexpr int Buttons[] = {BTUP, BTDOWN, BTEDIT, BTACTIVATE};
constexpr int ButtonImages[] = {BMP_UP, BMP_DOWN, BMP_EDIT, BMP_LOAD};
constexpr int Statics[] = {STTOTAL, STLENGTH, STCOMMENT, STPLACE};

std::array<PLACEMENT, 10> DlgPLLayout(int W, int H)
{
    std::array<PLACEMENT, 10> layout{{
        {LVPLAYLIST, 5, 5, W - 10, H - 100},
        {GBINFO, 5, H - 95, W - 50, 90},
    }};
    std::size_t n = 2;
    for (int i = 3; i >= 0; --i)
        layout[n++] = {Buttons[i], W - 40, H - 5 - (4 - i) * 20, 35, 19};
    for (int i = 0; i < 4; ++i)
        layout[n++] = {Statics[i], 10, (H - 95) + 15 + i * 18, W - 60, 15};
    return layout;
}

// The table's rows, one item each in playlist order; the list view holds only their count.
std::vector<PLI*> Items;

int LVGetRowCount(HWND List) { return static_cast<int>(SendMessageA(List, LVM_GETITEMCOUNT, 0, 0)); }

void LVRedrawRows(HWND List, int First, int Last)
{
    SendMessageA(List, LVM_REDRAWITEMS, static_cast<WPARAM>(First), Last);
}

PLI* RowItem(int Row)
{
    return Row >= 0 && static_cast<std::size_t>(Row) < Items.size() ? Items[static_cast<std::size_t>(Row)] : nullptr;
}

// ---- rows ----

HWND Table() { return GetDlgItem(hwndPL, LVPLAYLIST); }

PL* ThePL() { return MainGetCurrentPL(); }

// An item the mixer went past because its track is missing says so.
const char* RowText(const PLI* Item, char (&Text)[MAXL_PLITITLE + 1])
{
    char title[MAXL_PLITITLE + 1];
    if (PLIGetTitleDesc(Item, title) == nullptr)
        title[0] = '\0';
    return StrFormat(Text, sizeof Text, "%s%s", MixIsSkipped(Item) ? "(missing) " : "", title);
}

void DlgPLAddLine(PLI* PLItem)
{
    if (PLItem != nullptr)
        Items.push_back(PLItem);
}

// The row goes before its item is freed, so no row ever shows a released
// item; freeing lets the mixer drop the item first. False when the row stayed.
bool DlgPLRemoveRow(int Row)
{
    const HWND list = Table();
    PLI* pli = RowItem(Row);
    if (pli == nullptr)
        return false;
    Items.erase(Items.begin() + Row);
    LVMDeleteItem(list, Row);
    PLFreePLIByIdx(ThePL(), ListGetItemIdx(PLGetList(ThePL()), pli));
    return true;
}

// ---- information lines and title ----

void SetLine(int Id, const char* Text) { WMSetText(GetDlgItem(hwndPL, Id), Text); }

void DlgPLSetTitle()
{
    PL* pl = ThePL();
    const PLI* pli = PLGetCurrentPLI(pl);
    char text[MAXL_PLITITLE + 1];
    char caption[MAXL_CAPTION];
    StrFormat(caption, sizeof caption, "Playlist editor - %s: %s", PLGetName(pl),
              pli != nullptr ? RowText(pli, text) : "-");
    WMSetText(hwndPL, caption);
}

// Without a current item, or for an item without a song, the lines show
// their labels only, so nothing of an earlier list or item stays.
void DlgPLShowInfo()
{
    const SONG* song = PLIGetSong(PLGetCurrentPLI(ThePL()));
    char line[MAXL_INFOLINE];
    char time[MAXL_TIMETEXT] = "";
    if (song != nullptr)
        strtimefrmt(static_cast<int>(song->General.lLength), time, 0, 0);
    SetLine(STLENGTH, StrFormat(line, sizeof line, "Length: %s", time));
    SetLine(STCOMMENT, StrFormat(line, sizeof line, "Comment: %s", SongGetComment(song)));
    SetLine(STPLACE, StrFormat(line, sizeof line, "Place: %s", SongGetPlace(song)));
    DlgPLSetTitle();
}

// Rows added since the last count reach the list view here, in one step.
void DlgPLShowTotal()
{
    if (LVGetRowCount(Table()) != static_cast<int>(Items.size()))
        LVSetRowCount(Table(), static_cast<int>(Items.size()), 1);
    PL* pl = ThePL();
    char line[MAXL_INFOLINE];
    char time[MAXL_TIMETEXT];
    SetLine(STTOTAL, StrFormat(line, sizeof line, "Total tracks: % 3d  Total time: %s", PLGetCount(pl),
                               strtimefrmt(static_cast<int>(PLGetTime(pl)), time, 0, 1)));
    DlgPLShowInfo();
}

// ---- taking tracks from the track list ----

// False (with a message) while there is no playlist to take tracks into.
bool DlgPLHavePlaylist()
{
    if (ThePL() != nullptr)
        return true;
    ErrorMsg(hwndPL, "There is no playlist. Create one with \"New list\" first.");
    return false;
}

void DlgPLAddSong(SONG* Song)
{
    if (Song != nullptr)
        DlgPLAddLine(PLAddSong(ThePL(), Song));
}

void DlgPLGetFocused()
{
    if (!DlgPLHavePlaylist())
        return;
    DlgPLAddSong(DlgTLGetFocusedSong());
    DlgPLShowTotal();
}

void DlgPLGetRows(int Mask)
{
    int row = -1;
    while (DlgTLGetNextIdx(&row, Mask) >= 0)
        DlgPLAddSong(DlgTLGetItem(row));
    DlgPLShowTotal();
}

void DlgPLGetSelected()
{
    if (DlgPLHavePlaylist())
        DlgPLGetRows(LVNI_SELECTED);
}

// With the track list window closed every track counts, hidden ones too.
void DlgPLGetAll()
{
    if (!DlgPLHavePlaylist())
        return;
    if (hwndTL != nullptr) {
        DlgPLGetRows(LVNI_ALL);
        return;
    }
    LIST* tl = DBGetTL(MainGetDB());
    LISTITEM* key = nullptr;
    for (SONG* song = TLFindFirstSong(tl, &key); song != nullptr; song = TLFindNextSong(tl, &key))
        DlgPLAddSong(song);
    DlgPLShowTotal();
}

// ---- deleting ----

// The list view may hand the focus of a deleted row on to a neighbour
// without telling; its item then becomes the current one.
void DlgPLFollowFocus()
{
    const HWND list = Table();
    const int row = LVMGetNextItem(list, -1, LVNI_FOCUSED);
    if (row >= 0)
        PLSetCurrentPLI(ThePL(), RowItem(row));
}

// After a deletion the search restarts one row earlier, so the row that
// moved up into the freed position is examined next.
void DlgPLDeleteGroup(int Mask, int OnlyTheFirst)
{
    if (DlgLibraryBusy(hwndPL))
        return;
    const HWND list = Table();
    for (int i = LVMGetNextItem(list, -1, Mask); i >= 0; i = LVMGetNextItem(list, i - 1, Mask))
        if (!DlgPLRemoveRow(i) || OnlyTheFirst)
            break;
    DlgPLFollowFocus();
    DlgPLShowTotal();
}

void DlgPLDeleteAll() { DlgPLDeleteGroup(LVNI_ALL, 0); }
void DlgPLDeleteSelected() { DlgPLDeleteGroup(LVNI_SELECTED, 0); }
void DlgPLDeleteFocused() { DlgPLDeleteGroup(LVNI_FOCUSED, 1); }

void DlgPLCrop()
{
    if (DlgLibraryBusy(hwndPL))
        return;
    const HWND list = Table();
    for (int i = 0; i < LVGetRowCount(list);) {
        if ((LVMGetItemState(list, i) & ROWSTATE_MARKED) != 0)
            ++i;
        else if (!DlgPLRemoveRow(i))
            break;
    }
    DlgPLFollowFocus();
    DlgPLShowTotal();
}

// PLFree lets the mixer drop every item first.
void DlgPLEraseList()
{
    if (DlgLibraryBusy(hwndPL))
        return;
    PLFree(ThePL());
    DlgPLFillTable();
}

// ---- selecting and moving ----

void DlgPLSelectGroup(int Mode)
{
    const HWND list = Table();
    const int rows = LVGetRowCount(list);
    if (Mode != DLGPLSM_INVERT) {
        LVSetRowState(list, -1, Mode == DLGPLSM_ALL ? LVIS_SELECTED : 0, LVIS_SELECTED);
        return;
    }
    for (int i = 0; i < rows; ++i)
        LVSetRowState(list, i, (static_cast<UINT>(LVMGetItemState(list, i)) & LVIS_SELECTED) ^ LVIS_SELECTED, LVIS_SELECTED);
}

void DlgPLSelectAll() { DlgPLSelectGroup(DLGPLSM_ALL); }
void DlgPLSelectInv() { DlgPLSelectGroup(DLGPLSM_INVERT); }
void DlgPLSelectZero() { DlgPLSelectGroup(DLGPLSM_ZERO); }

// The neighbour takes the moved row's place, with its own selection state.
void DlgPLMoveRow(int Row, int DestRow)
{
    const HWND list = Table();
    const UINT other = static_cast<UINT>(LVMGetItemState(list, DestRow)) & LVIS_SELECTED;
    std::swap(Items[static_cast<std::size_t>(Row)], Items[static_cast<std::size_t>(DestRow)]);
    LVSetRowState(list, DestRow, LVIS_SELECTED, LVIS_SELECTED);
    LVSetRowState(list, Row, other, LVIS_SELECTED);
    LVRedrawRows(list, std::min(Row, DestRow), std::max(Row, DestRow));
    PLMoveItemByIdx(ThePL(), Row, DestRow);
}

// A block moves only as a whole: when one selected row has no room, nothing moves.
void DlgPLUpDown(int Down)
{
    const HWND list = Table();
    const int rows = std::min(LVGetRowCount(list), PLGetCount(ThePL()));
    std::vector<int> selected;
    for (int i = LVMGetNextItem(list, -1, LVNI_SELECTED); i >= 0 && i < rows; i = LVMGetNextItem(list, i, LVNI_SELECTED))
        selected.push_back(i);
    if (selected.empty() || (Down ? selected.back() >= rows - 1 : selected.front() <= 0))
        return;
    if (Down)
        std::reverse(selected.begin(), selected.end());
    for (int row : selected)
        DlgPLMoveRow(row, Down ? row + 1 : row - 1);
    DlgPLSetFocusedPLI(PLGetCurrentPLI(ThePL()));
}

// ---- the focused item ----

void DlgPLEditItem()
{
    PLI* pli = PLGetPLI(ThePL(), LVMGetNextItem(Table(), -1, LVNI_FOCUSED));
    if (pli == nullptr)
        return;
    PLIEdit(hwndPL, pli);
    DlgPLSetTitle();
    const auto row = std::find(Items.begin(), Items.end(), pli);
    if (row != Items.end())
        LVRedrawRows(Table(), static_cast<int>(row - Items.begin()), static_cast<int>(row - Items.begin()));
}

void DlgPLLoadNext() { MixSetNextPLI(hwndPL, PLGetCurrentPLI(ThePL())); }

void DlgPLBubbleSort(int Field)
{
    PLBubbleSort(ThePL(), Field);
    DlgPLFillTable();
}

// ---- lists ----

const char* DlgPLGetName(void* List) { return PLGetName(static_cast<const PL*>(List)); }

PL* DlgPLChoosePlayList(const char* Title)
{
    return static_cast<PL*>(LICEdit(hwndPL, MainGetPLL(), DlgPLGetName, Title));
}

// An empty name, or one that another list already has, is refused with a message.
bool DlgPLNameFree(const char* Name, const PL* Self)
{
    if (Name[0] == '\0') {
        ErrorMsg(hwndPL, "A list needs a name!");
        return false;
    }
    const PL* existing = PLLExistsPL(MainGetPLL(), Name);
    if (existing != nullptr && existing != Self) {
        ErrorMsg(hwndPL, "A list with this name already exists!");
        return false;
    }
    return true;
}

// "Only delete items and rename" empties and renames the current list; with
// no list yet, a new one is created all the same.
void DlgPLNewList()
{
    char name[MAXL_PLNAME + 1] = "";
    int onlyRename = 0;
    if (!PLNEdit(hwndPL, name, &onlyRename))
        return;
    PL* current = ThePL();
    const bool rename = onlyRename && current != nullptr;
    if (!DlgPLNameFree(name, rename ? current : nullptr) || (rename && DlgLibraryBusy(hwndPL)))
        return;
    if (rename) {
        PLFree(current);
        PLSetName(current, name);
    } else {
        PL* pl = PLCreate(name);
        if (pl == nullptr)
            return;
        PLLAddPL(MainGetPLL(), pl);
        PLLSetCurrentPL(MainGetPLL(), pl);
    }
    DlgPLFillTable();
}

void DlgPLLoadList()
{
    PL* pl = DlgPLChoosePlayList("Load playlist");
    if (pl == nullptr)
        return;
    PLLSetCurrentPL(MainGetPLL(), pl);
    DlgPLFillTable();
}

// Appends a copy of each item of the chosen list, overrides included. The
// count is taken first: merging a list into itself doubles it once.
void DlgPLMergeList()
{
    if (!DlgPLHavePlaylist())
        return;
    PL* current = ThePL();
    PL* source = DlgPLChoosePlayList("Merge playlist");
    if (source == nullptr || DlgLibraryBusy(hwndPL))
        return;
    const int count = ListGetTotal(PLGetList(source));
    LISTITEM* key = nullptr;
    PLI* pli = PLFindFirstPLI(source, &key);
    for (int i = 0; i < count && pli != nullptr; ++i, pli = PLFindNextPLI(source, &key)) {
        auto* copy = static_cast<PLI*>(std::calloc(1, sizeof(PLI)));
        if (copy == nullptr)
            break;
        *copy = *pli;
        copy->bPlayed = 0;
        PLAddPLI(current, copy);
        DlgPLAddLine(copy);
    }
    DlgPLShowTotal();
}

// Characters a file name cannot hold become '_'.
void FileNameFromListName(const char* Name, char* FileName, std::size_t Size)
{
    StrCopy(FileName, Size, Name);
    for (char* c = FileName; *c != '\0'; ++c)
        if (static_cast<unsigned char>(*c) < ' ' || std::strchr("\\/:*?\"<>|", *c) != nullptr)
            *c = '_';
}

bool HasExtension(const char* FileName)
{
    const char* base = std::strrchr(FileName, '\\');
    return std::strchr(base != nullptr ? base + 1 : FileName, '.') != nullptr;
}

// False when the name and the extension do not fit the buffer; the name stays.
bool AppendExtension(char* FileName, std::size_t Size)
{
    const std::size_t length = std::strlen(FileName);
    if (StrCopy(FileName + length, Size - length, EXPORT_EXT))
        return true;
    FileName[length] = '\0';
    return false;
}

// The dialog's overwrite prompt saw only the name as typed.
bool DlgPLConfirmReplace(const char* FileName)
{
    char msg[MAXL_EXPORTNAME + 60];
    StrFormat(msg, sizeof msg, "%s already exists.\nDo you want to replace it?", FileName);
    return MessageBoxA(hwndPL, msg, strTitleExportM3U, MB_YESNO | MB_ICONWARNING) == IDYES;
}

void DlgPLExportFailed(const char* FileName)
{
    char msg[MAXL_EXPORTNAME + 50];
    ErrorMsg(hwndPL, StrFormat(msg, sizeof msg, "The playlist could not be written to\n%s", FileName));
}

// The shared save dialog starts with an empty name; this one proposes the
// list's name. The platform's dialog would complete a name typed without
// extension with the filter's lower-case one, so it gets no default
// extension and ".M3U" is appended here.
void DlgPLExportM3U()
{
    PL* pl = ThePL();
    char fileName[MAXL_EXPORTNAME];
    FileNameFromListName(pl != nullptr ? PLGetName(pl) : "", fileName, sizeof fileName);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwndPL;
    ofn.hInstance = hInst;
    ofn.lpstrFilter = strFilterM3U;
    ofn.lpstrFile = fileName;
    ofn.nMaxFile = sizeof fileName;
    ofn.lpstrTitle = strTitleExportM3U;
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    if (!GetSaveFileNameA(&ofn))
        return;
    if (!HasExtension(fileName)) {
        if (!AppendExtension(fileName, sizeof fileName)) {
            DlgPLExportFailed(fileName);
            return;
        }
        if (FileExists(fileName) && !DlgPLConfirmReplace(fileName))
            return;
    }
    if (!PLExportM3U(pl, fileName))
        DlgPLExportFailed(fileName);
}

// ---- the window ----

void DlgPLInitButtons(HWND hwnd)
{
    for (std::size_t i = 0; i < std::size(Buttons); ++i)
        ButtonSetImage(GetDlgItem(hwnd, Buttons[i]), ButtonImages[i]);
}

// One column as wide as the table: in list mode the control would measure
// every row's text to lay out its columns, which takes seconds for a long list.
void DlgPLSizeColumn()
{
    RECT client{};
    GetClientRect(Table(), &client);
    SendMessageA(Table(), LVM_SETCOLUMNWIDTH, 0, client.right);
}

void DlgPLInit(HWND hwnd)
{
    hwndPL = hwnd;
    LVCOLUMNA column{};
    column.mask = LVCF_WIDTH;
    SendMessageA(Table(), LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    DlgPLSizeColumn();
    DlgPLFillTable();
    DlgSetIcon(hwndPL, ICON_PLAYLIST);
    DlgPLInitButtons(hwnd);
}

// Size messages of the window's creation come before the handle is set:
// the template's layout stands until the first real change of size.
void DlgPLResize(WPARAM wParam, LPARAM lParam)
{
    if (wParam == SIZE_MINIMIZED || hwndPL == nullptr)
        return;
    DlgApplyLayout(hwndPL, DlgPLLayout(LOWORD(lParam), HIWORD(lParam)));
    DlgPLSizeColumn();
}

const char* DlgPLFindText(int Row, char* Buffer)
{
    static_assert(MAXL_PLITITLE + 1 <= LVROWTEXTMAX);
    return PLIGetTitleDesc(RowItem(Row), Buffer) != nullptr ? Buffer : "";
}

// The row's item comes from the row itself, so only an item of the current
// playlist can become its current item. Nonzero when the answer is in the
// dialog's message result.
int DlgPLNotifyMessage(WPARAM CntrID, NMHDR* Header)
{
    if (CntrID != LVPLAYLIST)
        return 0;
    if (Header->code == LVN_GETDISPINFOA) {
        auto* info = reinterpret_cast<NMLVDISPINFOA*>(Header);
        char text[MAXL_PLITITLE + 1];
        if (const PLI* pli = RowItem(info->item.iItem))
            LVDispText(info, RowText(pli, text));
        return 0;
    }
    if (Header->code != LVN_ITEMCHANGED)  // type-ahead is the one request left that wants an answer
        return LVAnswerFind(hwndPL, Header, static_cast<int>(Items.size()), DlgPLFindText);
    const auto* change = reinterpret_cast<const NMLISTVIEW*>(Header);
    if ((change->uChanged & LVIF_STATE) == 0 || (change->uNewState & LVIS_FOCUSED) == 0)
        return 0;
    PLSetCurrentPLI(ThePL(), RowItem(change->iItem));
    DlgPLShowInfo();
    return 0;
}

void DlgPLEnd(HWND hwnd)
{
    hwndPL = nullptr;
    Items = {};
    DestroyWindow(hwnd);
}

void DlgPLCommand(WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case BTUP: DlgPLUpDown(0); break;
    case BTDOWN: DlgPLUpDown(1); break;
    case BTEDIT: DlgPLEditItem(); break;
    case BTACTIVATE: DlgPLLoadNext(); break;
    case CMGETFOCUSED: DlgPLGetFocused(); break;
    case CMGETSELECTED: DlgPLGetSelected(); break;
    case CMGETALL: DlgPLGetAll(); break;
    case CMOPENDBASE: TLEdit(); break;
    case CMDELETEFOCUS: DlgPLDeleteFocused(); break;
    case CMDELETEALL: DlgPLDeleteAll(); break;
    case CMDELETESELEC: DlgPLDeleteSelected(); break;
    case CMCROP: DlgPLCrop(); break;
    case CMSELECTALL: DlgPLSelectAll(); break;
    case CMSELECTZERO: DlgPLSelectZero(); break;
    case CMSELECTINVERT: DlgPLSelectInv(); break;
    case CMSORTTITLE: DlgPLBubbleSort(PLBS_TITLE); break;
    case CMSORTFNAME: DlgPLBubbleSort(PLBS_FILENAME); break;
    case CMSORTSTYLE: DlgPLBubbleSort(PLBS_STYLE); break;
    case CMSORTREV: DlgPLBubbleSort(PLBS_REVERT); break;
    case CMSORTRAND: DlgPLBubbleSort(PLBS_RANDOM); break;
    case CMNEWLIST: DlgPLNewList(); break;
    case CMLOADLIST: DlgPLLoadList(); break;
    case CMERASELIST:
    case CMCLEARLIST: DlgPLEraseList(); break;
    case CMMERGELIST: DlgPLMergeList(); break;
    case CMEXPORTM3U: DlgPLExportM3U(); break;
    default: break;
    }
}

void DlgPLLibraryChanged(WPARAM Replaced)
{
    if (Replaced)
        DlgPLFillTable();
    else
        DlgPLRefresh();
}

INT_PTR CALLBACK DlgPLWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: DlgPLInit(hwnd); return 0;
    case WM_CLOSE: DlgPLEnd(hwnd); return 1;
    case WM_COMMAND: DlgPLCommand(wParam); return 0;
    case WM_SIZE: DlgPLResize(wParam, lParam); return 0;
    case WM_NOTIFY: return DlgPLNotifyMessage(wParam, reinterpret_cast<NMHDR*>(lParam));
    case WM_LIBRARYCHANGED: DlgPLLibraryChanged(wParam); return 0;
    default: return 0;
    }
}

}  // namespace

void PLEdit()
{
    if (hwndPL != nullptr) {
        if (IsIconic(hwndPL))
            ShowWindow(hwndPL, SW_RESTORE);
        BringWindowToTop(hwndPL);
        return;
    }
    CreateDialogParamA(hInst, MAKEINTRESOURCEA(DLG_PL), hwndMain, DlgPLWndProc, 0);
}

// The current item's row gets the focus, so the focused row and the
// information lines show the same item.
void DlgPLFillTable()
{
    if (hwndPL == nullptr)
        return;
    PL* pl = ThePL();
    Items.clear();
    Items.reserve(static_cast<std::size_t>(PLGetCount(pl)));
    LISTITEM* key = nullptr;
    for (PLI* pli = PLFindFirstPLI(pl, &key); pli != nullptr; pli = PLFindNextPLI(pl, &key))
        Items.push_back(pli);
    LVSetRowCount(Table(), static_cast<int>(Items.size()), 0);
    DlgPLSetFocusedPLI(PLGetCurrentPLI(pl));
    DlgPLShowTotal();
}

void DlgPLRefresh()
{
    if (hwndPL == nullptr)
        return;
    InvalidateRect(Table(), nullptr, TRUE);
    DlgPLShowTotal();
}

void DlgPLSetFocusedPLI(PLI* pli)
{
    if (hwndPL == nullptr || pli == nullptr)
        return;
    PL* pl = ThePL();
    const int row = ListGetItemIdx(PLGetList(pl), pli);
    if (row < 0)
        return;
    LVSetRowState(Table(), row, LVIS_FOCUSED, LVIS_FOCUSED);
    SendMessageA(Table(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    PLSetCurrentPLI(pl, pli);
    DlgPLShowInfo();
}
