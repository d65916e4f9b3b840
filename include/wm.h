// One thin wrapper per control message: each sends exactly one standard
// Win32 message to hwnd synchronously (or calls EnableWindow). Safe from any
// thread; from a worker thread the call waits until the window's thread has
// handled the message.
#pragma once

#include "platform.h"

// Buttons.
void BMSetImage(HWND hwnd, int iImageType, HANDLE hImage);
void BMSetStyle(HWND hwnd, unsigned dwStyle, int bRedraw);
void BMSetCheck(HWND hwnd, int Checked);
int BMGetCheck(HWND hwnd);

// Combo boxes.
int CBGetCurSel(HWND hwnd);
char* CBGetLBText(HWND hwnd, int Idx, char* Buffer);
int CBAddString(HWND hwnd, const char* Item);

// Any window.
void WMSetText(HWND hwnd, const char* Text);
char* WMGetText(HWND hwnd, int Length, char* Text);
void WMSetIcon(HWND hwnd, int Type, HICON hIcon);
void WMEnable(HWND hwnd, int Value);

// Trackbars.
void TBMSetPos(HWND hwnd, int Draw, int Value);
int TBMGetPos(HWND hwnd);
void TBMSetPageSize(HWND hwnd, int Size);
void TBMSetSelStart(HWND hwnd, int Start);
void TBMSetSelEnd(HWND hwnd, int End);
void TBMSetSel(HWND hwnd, int Start, int End);
void TBMSetRange(HWND hwnd, int Min, int Max);

// List boxes.
int LBAddString(HWND hwnd, const char* S);
int LBDeleteString(HWND hwnd, int Idx);
int LBGetCurSel(HWND hwnd);
int LBGetTextLen(HWND hwnd, int Index);
char* LBGetText(HWND hwnd, int Index, char* Buffer);
int LBGetTopIndex(HWND hwnd);
int LBGetSel(HWND hwnd, int Idx);
int LBGetSelCount(HWND hwnd);
void LBInsertString(HWND hwnd, int Idx, const char* String);
void LBSetColumnWidth(HWND hwnd, int Width);
void LBSetCount(HWND hwnd, int Count);
void LBSetCurSel(HWND hwnd, int Idx);
void LBSetTopIndex(HWND hwnd, int Idx);
void LBSelItemRange(HWND hwnd, int Select, int First, int Last);
void LBSetSel(HWND hwnd, int Select, int Idx);
void LBResetContent(HWND hwnd);

// List views.
void LVMDeleteAllItems(HWND hwnd);
void LVMDeleteItem(HWND hwnd, int Idx);
void LVMSetItemCount(HWND hwnd, int Count);
int LVMGetNextItem(HWND hwnd, int Start, int Flags);
int LVMGetItemState(HWND hwnd, int Idx);
void LVMSetItemState(HWND hwnd, int Idx, LVITEMA* Item);

// Statics. The image the control held before is neither returned nor deleted.
void STMSetImage(HWND hwnd, int Type, HANDLE hImage);
