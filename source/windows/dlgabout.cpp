#include "dlgabout.h"

#include "dlgcomm.h"
#include "resource.h"
#include "string2.h"
#include "wm.h"

#include <array>

namespace {

HBITMAP hbmpLogo;
BITMAP bmpLogo;
int bmpSX;
int bmpSY;

struct PLACEMENT {
    int Id;
    int X, Y, Width, Height;
};

// Every control is placed from the logo's width W and height H in pixels.
std::array<PLACEMENT, 8> DlgAboutLayout(int W, int H)
{
    return {{
        {GBMAIN, 5, 5, W + 20, H + 164},
        {BMLOGO, 15, 20, W, H},
        {STWRITTEN, 15, H + 30, W, 14},
        {STLOGOBY, 15, H + 44, W, 14},
        {STVERSION, 15, H + 58, W, 14},
        {STTHANKS, 15, H + 84, W, 28},
        {STCOMPILED, 15, H + 120, W, 14},
        {IDOK, W - 50, H + 136, 60, 25},
    }};
}

void DlgAboutInitBitmap()
{
    hbmpLogo = static_cast<HBITMAP>(LoadImageA(hInst, MAKEINTRESOURCEA(BMP_LOGO), IMAGE_BITMAP, 0, 0, 0));
    bmpLogo = BITMAP{};
    if (hbmpLogo != nullptr)
        GetObjectA(hbmpLogo, sizeof bmpLogo, &bmpLogo);
    bmpSX = bmpLogo.bmWidth;
    bmpSY = bmpLogo.bmHeight;
}

void DlgAboutInitDialog(HWND hwnd)
{
    DlgAboutInitBitmap();
    const int W = bmpSX;
    const int H = bmpSY;
    const HDC screen = GetDC(nullptr);
    const int screenX = GetDeviceCaps(screen, HORZRES);
    const int screenY = GetDeviceCaps(screen, VERTRES);
    ReleaseDC(nullptr, screen);
    MoveWindow(hwnd, (screenX - W - 40) / 2, (screenY - H - 140) / 2, W + 40, H + 202, FALSE);

    for (const PLACEMENT& p : DlgAboutLayout(W, H))
        MoveWindow(GetDlgItem(hwnd, p.Id), p.X, p.Y, p.Width, p.Height, FALSE);

    STMSetImage(GetDlgItem(hwnd, BMLOGO), IMAGE_BITMAP, hbmpLogo);
    char S[64];
    WMSetText(GetDlgItem(hwnd, STCOMPILED), StrFormat(S, sizeof S, "Compiled: %s at %s", __DATE__, __TIME__));
    DlgSetIcon(hwnd, ICON_ABOUT);
}

void DlgAboutClose()
{
    if (hbmpLogo != nullptr)
        DeleteObject(hbmpLogo);
    hbmpLogo = nullptr;
}

INT_PTR CALLBACK DlgAboutWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG: DlgAboutInitDialog(hwnd); return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            EndDialog(hwnd, 1);
        return TRUE;
    case WM_CLOSE: EndDialog(hwnd, 0); return TRUE;
    case WM_LBUTTONDOWN: return TRUE;
    default: return FALSE;
    }
}

}  // namespace

void DlgAboutShow()
{
    DialogBoxParamA(hInst, MAKEINTRESOURCEA(DLG_ABOUT), hwndMain, DlgAboutWndProc, 0);
    DlgAboutClose();
}
