// The program's entry point: players, database, settings, then the control
// panel for the whole run; the panel keeps the library as it closes, the settings are saved after.
#include "dlgcomm.h"
#include "dlgmain.h"
#include "dlgtl.h"
#include "fncfg.h"
#include "fndb.h"
#include "fnmain.h"
#include "platform.h"
#include "resource.h"

#include <commctrl.h>

HINSTANCE hInst;

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    hInst = hInstance;
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);

    InitWAmpInstances();
    DBInit(MainGetDB());
    InitConfig();
    DlgTLLoadDBase(nullptr, DBGetPath(MainGetDB()));
    DialogBoxParamA(hInst, MAKEINTRESOURCEA(DLG_MAIN), nullptr, DlgMainWndProc, 0);

    DoneWAmpInstances();
    CfgStore();
    return 0;
}
