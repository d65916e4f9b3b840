#include "fnmain.h"

#include "defs.h"
#include "fncfg.h"
#include "fndb.h"
#include "fnmix.h"
#include "fnlang.h"
#include "fnpl.h"
#include "string2.h"
#include "winamp.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

DB Database;

DB* MainGetDB() { return &Database; }
LIST* MainGetPLL() { return DBGetPLL(&Database); }
PL* MainGetCurrentPL() { return DBGetCurrentPL(&Database); }
PLI* MainGetCurrentPLI() { return PLGetCurrentPLI(MainGetCurrentPL()); }

void InitWAmpInstances()
{
    const int running = WAmpCheck();
    WAmpRun(MAXI_WINAMP - running);
    WAmpCheck();
    MixStopAll(0);
}

void DoneWAmpInstances() {}

void InitConfig()
{
    constexpr int kDefaultVolume = 204;
    CfgSetFileClasses();
    CfgRestore();
    StateSetActPlayer(SLOT_PL1);
    StateSetPasPlayer(SLOT_PL2);
    StateSetActEff(SLOT_EF1);
    StateSetPasEff(SLOT_EF2);
    StateSetTest(SLOT_TEST);
    for (int i = 0; i <= SLOT_COMMON; ++i) {
        StateSetVolume(i, kDefaultVolume);
        StateSetPanning(i, 0);
    }
    StateSetFade(0);
    StateSetFadeLen(3000);
    StateSetDuoLen(5000);
    StateSetFadeType(FADE_OVER);
    StateSetSubFade(1);
    StateSetBeatLast(0);
    StateSetMixEnabled(1);
    StateSetPlayStatus(PLAYSTAT_NONE);
}

// ---- command line ----

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The first argument of Text, without its quotes; Text keeps the rest.
std::string_view TakeArgument(std::string_view& Text)
{
    Text = TrimBlanks(Text);
    const bool quoted = !Text.empty() && Text.front() == '"';
    const std::size_t from = quoted ? 1 : 0;
    std::size_t end = Text.find(quoted ? '"' : ' ', from);
    if (end == std::string_view::npos)
        end = Text.size();
    const std::string_view argument = Text.substr(from, end - from);
    Text.remove_prefix(std::min(Text.size(), end + (quoted ? 1 : 0)));
    return argument;
}

bool EndsWithDBExtension(std::string_view path)
{
    const std::size_t n = std::strlen(strExtDBase);
    if (path.size() <= n + 1 || path[path.size() - n - 1] != '.')
        return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(path[path.size() - n + i])) != strExtDBase[i])
            return false;
    return true;
}

int CopyWhole(char* Path, int Size, std::string_view text)
{
    if (StrCopy(Path, static_cast<std::size_t>(Size), text))
        return 1;
    Path[0] = '\0';
    return 0;
}

}  // namespace

int MainCmdLineProgram(const char* CmdLine, char* Path, int Size)
{
    std::string_view text = CmdLine != nullptr ? CmdLine : "";
    return CopyWhole(Path, Size, TakeArgument(text));
}

int MainCmdLineDB(const char* CmdLine, char* Path, int Size)
{
    std::string_view text = CmdLine != nullptr ? CmdLine : "";
    TakeArgument(text);
    text = TrimBlanks(text);
    // Unquoted, the whole rest is the one path: a shell may pass a path with blanks bare.
    if (!text.empty() && text.front() == '"') {
        std::string_view rest = text;
        const std::string_view argument = TakeArgument(rest);
        text = TrimBlanks(rest).empty() ? argument : std::string_view();
    }
    const bool isDB = EndsWithDBExtension(text) && text.find('"') == std::string_view::npos;
    return CopyWhole(Path, Size, isDB ? text : std::string_view()) && isDB ? 1 : 0;
}
