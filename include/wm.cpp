#include "wm.h"

namespace {

LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return SendMessageA(hwnd, msg, wParam, lParam);
}

int SendInt(HWND hwnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return static_cast<int>(Send(hwnd, msg, wParam, lParam));
}

template <class T>
LPARAM Ptr(T* p)
{
    return reinterpret_cast<LPARAM>(p);
}

WPARAM Int(int v) { return static_cast<WPARAM>(static_cast<LPARAM>(v)); }

}  // namespace

void BMSetImage(HWND hwnd, int iImageType, HANDLE hImage) { Send(hwnd, BM_SETIMAGE, Int(iImageType), Ptr(hImage)); }
void BMSetStyle(HWND hwnd, unsigned dwStyle, int bRedraw) { Send(hwnd, BM_SETSTYLE, dwStyle, bRedraw); }
void BMSetCheck(HWND hwnd, int Checked) { Send(hwnd, BM_SETCHECK, Int(Checked)); }
int BMGetCheck(HWND hwnd) { return SendInt(hwnd, BM_GETCHECK); }

int CBGetCurSel(HWND hwnd) { return SendInt(hwnd, CB_GETCURSEL); }
char* CBGetLBText(HWND hwnd, int Idx, char* Buffer)
{
    Send(hwnd, CB_GETLBTEXT, Int(Idx), Ptr(Buffer));
    return Buffer;
}
int CBAddString(HWND hwnd, const char* Item) { return SendInt(hwnd, CB_ADDSTRING, 0, Ptr(Item)); }

void WMSetText(HWND hwnd, const char* Text) { Send(hwnd, WM_SETTEXT, 0, Ptr(Text)); }
char* WMGetText(HWND hwnd, int Length, char* Text)
{
    if (Length > 0)
        Text[0] = '\0';
    Send(hwnd, WM_GETTEXT, Int(Length), Ptr(Text));
    return Text;
}
void WMSetIcon(HWND hwnd, int Type, HICON hIcon) { Send(hwnd, WM_SETICON, Int(Type), Ptr(hIcon)); }
void WMEnable(HWND hwnd, int Value) { EnableWindow(hwnd, Value); }

void TBMSetPos(HWND hwnd, int Draw, int Value) { Send(hwnd, TBM_SETPOS, Int(Draw), Value); }
int TBMGetPos(HWND hwnd) { return SendInt(hwnd, TBM_GETPOS); }
void TBMSetPageSize(HWND hwnd, int Size) { Send(hwnd, TBM_SETPAGESIZE, 0, Size); }
void TBMSetSelStart(HWND hwnd, int Start) { Send(hwnd, TBM_SETSELSTART, TRUE, Start); }
void TBMSetSelEnd(HWND hwnd, int End) { Send(hwnd, TBM_SETSELEND, TRUE, End); }
void TBMSetSel(HWND hwnd, int Start, int End)
{
    Send(hwnd, TBM_SETSEL, TRUE, MAKELPARAM(static_cast<unsigned>(Start), static_cast<unsigned>(End)));
}
void TBMSetRange(HWND hwnd, int Min, int Max)
{
    Send(hwnd, TBM_SETRANGEMIN, FALSE, Min);
    Send(hwnd, TBM_SETRANGEMAX, FALSE, Max);
}

int LBAddString(HWND hwnd, const char* S) { return SendInt(hwnd, LB_ADDSTRING, 0, Ptr(S)); }
int LBDeleteString(HWND hwnd, int Idx) { return SendInt(hwnd, LB_DELETESTRING, Int(Idx)); }
int LBGetCurSel(HWND hwnd) { return SendInt(hwnd, LB_GETCURSEL); }
int LBGetTextLen(HWND hwnd, int Index) { return SendInt(hwnd, LB_GETTEXTLEN, Int(Index)); }
char* LBGetText(HWND hwnd, int Index, char* Buffer)
{
    Send(hwnd, LB_GETTEXT, Int(Index), Ptr(Buffer));
    return Buffer;
}
int LBGetTopIndex(HWND hwnd) { return SendInt(hwnd, LB_GETTOPINDEX); }
int LBGetSel(HWND hwnd, int Idx) { return SendInt(hwnd, LB_GETSEL, Int(Idx)); }
int LBGetSelCount(HWND hwnd) { return SendInt(hwnd, LB_GETSELCOUNT); }
void LBInsertString(HWND hwnd, int Idx, const char* String) { Send(hwnd, LB_INSERTSTRING, Int(Idx), Ptr(String)); }
void LBSetColumnWidth(HWND hwnd, int Width) { Send(hwnd, LB_SETCOLUMNWIDTH, Int(Width)); }
void LBSetCount(HWND hwnd, int Count) { Send(hwnd, LB_SETCOUNT, Int(Count)); }
void LBSetCurSel(HWND hwnd, int Idx) { Send(hwnd, LB_SETCURSEL, Int(Idx)); }
void LBSetTopIndex(HWND hwnd, int Idx) { Send(hwnd, LB_SETTOPINDEX, Int(Idx)); }
void LBSelItemRange(HWND hwnd, int Select, int First, int Last)
{
    Send(hwnd, LB_SELITEMRANGE, Int(Select), MAKELPARAM(static_cast<unsigned>(First), static_cast<unsigned>(Last)));
}
void LBSetSel(HWND hwnd, int Select, int Idx) { Send(hwnd, LB_SETSEL, Int(Select), Idx); }
void LBResetContent(HWND hwnd) { Send(hwnd, LB_RESETCONTENT); }

void LVMDeleteAllItems(HWND hwnd) { Send(hwnd, LVM_DELETEALLITEMS); }
void LVMDeleteItem(HWND hwnd, int Idx) { Send(hwnd, LVM_DELETEITEM, Int(Idx)); }
void LVMSetItemCount(HWND hwnd, int Count) { Send(hwnd, LVM_SETITEMCOUNT, Int(Count)); }
int LVMGetNextItem(HWND hwnd, int Start, int Flags)
{
    return SendInt(hwnd, LVM_GETNEXTITEM, Int(Start), MAKELPARAM(static_cast<unsigned>(Flags), 0));
}
int LVMGetItemState(HWND hwnd, int Idx) { return SendInt(hwnd, LVM_GETITEMSTATE, Int(Idx), -1); }
void LVMSetItemState(HWND hwnd, int Idx, LVITEMA* Item) { Send(hwnd, LVM_SETITEMSTATE, Int(Idx), Ptr(Item)); }

void STMSetImage(HWND hwnd, int Type, HANDLE hImage) { Send(hwnd, STM_SETIMAGE, Int(Type), Ptr(hImage)); }
