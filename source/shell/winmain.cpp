// The program's entry point: players, database, settings, then the control
// panel for the whole run; the panel keeps the library as it closes, the
// settings are saved after. A second start hands its database over instead.
#include "dlgcomm.h"
#include "dlgmain.h"
#include "dlgtl.h"
#include "fnana.h"
#include "fncfg.h"
#include "fncomm.h"
#include "fndb.h"
#include "fnmain.h"
#include "fnmix.h"
#include "platform.h"
#include "resource.h"
#include "string2.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstring>


namespace {

// Held for the whole run: a second start finds it and hands over instead
// of fighting the first over the same players.
constexpr char strInstanceMutex[] = "Brightwater.Tandem.Instance";
constexpr char strPanelCaption[] = "Tandem v1.0 - Control Panel";
constexpr char strDialogClass[] = "#32770";
constexpr DWORD HANDOVER_WAIT_MS = 60000;  // the first start may still be starting its players
constexpr DWORD HANDOVER_POLL_MS = 100;
constexpr UINT HANDOVER_SEND_MS = 5000;

// Every control class the dialog templates use; on Windows a dialog with an
// unregistered class fails to open.
constexpr DWORD TEMPLATE_CONTROL_CLASSES =
    ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS;
constexpr int MAXL_COMMANDLINE = 4 * MAX_PATH;

// The command line as ANSI text. When the code page cannot hold it whole (a
// database in a folder of another script), each argument is given in its
// ANSI form (AnsiPath), quoted; one without any stands as an empty one.
const char* AnsiCommandLine(char (&Line)[MAXL_COMMANDLINE])
{
    const WCHAR* wide = GetCommandLineW();
    const bool utf8 = GetACP() == CP_UTF8;  // holds every text, and takes no replacement flags
    BOOL replaced = FALSE;
    if (WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, -1, Line, sizeof Line, nullptr,
                            utf8 ? nullptr : &replaced) > 0 &&
        !replaced)
        return Line;
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(wide, &count);
    Line[0] = '\0';
    for (int i = 0; args != nullptr && i < count; ++i) {
        char arg[MAX_PATH];
        AnsiPath(args[i], arg, sizeof arg);
        const std::size_t n = std::strlen(Line);
        StrFormat(Line + n, sizeof Line - n, "%s\"%s\"", i > 0 ? " " : "", arg);
    }
    LocalFree(args);
    return Line;
}

// The database named on the command line as a full path (the running
// program, and "Recent", must not depend on this start's folder); empty when none.
void CommandLineDB(char (&Path)[MAXL_DBPATH + 1])
{
    char given[MAXL_DBPATH + 1];
    char line[MAXL_COMMANDLINE];
    const DWORD length = CfgCmdLineDB(AnsiCommandLine(line), given, sizeof given)
                             ? GetFullPathNameA(given, sizeof Path, Path, nullptr)
                             : 0;
    if (length == 0 || length >= sizeof Path)
        Path[0] = '\0';
}

void HandOverFailed(const char* Text, const char* Path)
{
    char msg[MAXL_DBPATH + 200];
    ErrorMsg(nullptr, StrFormat(msg, sizeof msg, Text, Path));
}

// Asks the running control panel to open Path: it takes the request at
// once, or says that another one waits; a panel busy with a long add may
// not answer for a while. Every way it fails is told.
void HandOverDB(HWND Panel, const char* Path)
{
    COPYDATASTRUCT data{MAIN_COPYDATA_OPENDB, static_cast<DWORD>(std::strlen(Path) + 1), const_cast<char*>(Path)};
    for (const DWORD start = GetTickCount();;) {
        DWORD_PTR answer = MAIN_OPENDB_WAIT;
        const bool answered = SendMessageTimeoutA(Panel, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                                  SMTO_ABORTIFHUNG, HANDOVER_SEND_MS, &answer) != 0;
        if (answered && answer == MAIN_OPENDB_TAKEN)
            return;
        if (answered && answer == MAIN_OPENDB_REFUSED)
            return HandOverFailed("Tandem did not open %s: it is not the full path of an existing file.", Path);
        if (!IsWindow(Panel) || GetTickCount() - start >= HANDOVER_WAIT_MS)
            return HandOverFailed("Tandem is busy and did not take %s. Open it with \"Open database\" when Tandem "
                                  "is ready.",
                                  Path);
        Sleep(HANDOVER_POLL_MS);
    }
}

// Brings the running control panel (or its open dialog) to the front and
// hands Path over, if any.
void HandOver(HWND Panel, const char* Path)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(Panel, &pid);
    AllowSetForegroundWindow(pid);
    if (IsIconic(Panel))
        ShowWindow(Panel, SW_RESTORE);
    SetForegroundWindow(GetLastActivePopup(Panel));
    if (Path[0] != '\0')
        HandOverDB(Panel, Path);
}

// The mutex that makes this start the one program, or null when a running
// one took the request (or never showed its panel within the wait, which is told).
HANDLE ClaimInstance(const char* Path)
{
    for (DWORD waited = 0; waited < HANDOVER_WAIT_MS; waited += HANDOVER_POLL_MS) {
        HANDLE mutex = CreateMutexA(nullptr, FALSE, strInstanceMutex);
        if (mutex != nullptr && GetLastError() != ERROR_ALREADY_EXISTS)
            return mutex;
        if (mutex != nullptr)
            CloseHandle(mutex);
        if (HWND panel = FindWindowA(strDialogClass, strPanelCaption); panel != nullptr) {
            HandOver(panel, Path);
            return nullptr;
        }
        // No panel yet: the other start is still starting, or is ending and saving.
        Sleep(HANDOVER_POLL_MS);
    }
    if (Path[0] != '\0')
        HandOverFailed("Tandem is running but did not answer; %s was not opened.", Path);
    return nullptr;
}

// Runs on the measuring thread: wakes the control panel, which collects.
void AnalysedNotify()
{
    if (const HWND panel = MixGetDestWindow())
        PostMessageA(panel, WM_ANALYSED, 0, 0);
}

// Windows 11 ignores the timer resolution a process asks for while all its
// windows are minimised, the way Tandem runs unattended, and the mixer's
// poll would slow to the default tick. Asked of the system by name: older
// ones lack the call and do not throttle timers.
void KeepTimerResolution()
{
    struct POWERTHROTTLING {
        ULONG Version, ControlMask, StateMask;
    };
    constexpr int PROCESS_POWER_THROTTLING = 4;  // the information class
    constexpr ULONG IGNORE_TIMER_RESOLUTION = 0x4;
    using SETPROCESSINFORMATION = BOOL(WINAPI*)(HANDLE, int, void*, DWORD);
    const auto set = reinterpret_cast<SETPROCESSINFORMATION>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetProcessInformation")));
    POWERTHROTTLING state{1, IGNORE_TIMER_RESOLUTION, 0};  // controlled, and off: requests are honoured
    if (set != nullptr)
        set(GetCurrentProcess(), PROCESS_POWER_THROTTLING, &state, sizeof state);
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    hInst = hInstance;
    char commandLineDB[MAXL_DBPATH + 1];
    CommandLineDB(commandLineDB);
    HANDLE instance = ClaimInstance(commandLineDB);
    if (instance == nullptr)
        return 0;

    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), TEMPLATE_CONTROL_CLASSES};
    InitCommonControlsEx(&controls);
    KeepTimerResolution();
    // The shell's folder browser and ShellExecute need COM on this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    InitWAmpInstances();
    DBInit(MainGetDB());
    InitConfig();
    if (commandLineDB[0] != '\0')
        DBSetPath(MainGetDB(), commandLineDB);
    AnaStart(AnalysedNotify);
    DlgTLLoadDBase(nullptr, DBGetPath(MainGetDB()));
    DialogBoxParamA(hInst, MAKEINTRESOURCEA(DLG_MAIN), nullptr, DlgMainWndProc, 0);
    AnaStop();

    DoneWAmpInstances();
    CfgStore();
    if (SUCCEEDED(com))
        CoUninitialize();
    CloseHandle(instance);
    return 0;
}
