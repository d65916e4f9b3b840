#include "fncfg.h"

#include "defs.h"
#include "fndb.h"
#include "fnlang.h"
#include "platform.h"
#include "string2.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace {

using WIDESTRING = std::basic_string<WCHAR>;

// The current user's classes: a standard user may write them, and they
// reach that user only.
constexpr char strUserClasses[] = "Software\\Classes\\";
constexpr char strOpenCommand[] = "\\shell\\open\\command";
constexpr int MAXL_CLASSKEY = 100;
constexpr DWORD MAXL_PROGRAMPATH = 1024;

WIDESTRING Widen(const char* Ascii) { return WIDESTRING(Ascii, Ascii + std::strlen(Ascii)); }

// The default value of a key of the file classes, the current user's
// before the machine's (as the merged view shows them); empty when neither has one.
WIDESTRING ClassValue(const char* SubKey)
{
    const std::pair<HKEY, const char*> places[] = {{HKEY_CURRENT_USER, strUserClasses}, {HKEY_CLASSES_ROOT, ""}};
    for (const auto& [root, prefix] : places) {
        char path[MAXL_CLASSKEY + sizeof strUserClasses];
        HKEY key = nullptr;
        if (RegOpenKeyExA(root, StrFormat(path, sizeof path, "%s%s", prefix, SubKey), 0, KEY_QUERY_VALUE, &key) !=
            ERROR_SUCCESS)
            continue;
        WCHAR value[MAXL_PROGRAMPATH + 1] = {};
        DWORD size = sizeof value - sizeof(WCHAR);
        const LONG read = RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<LPBYTE>(value), &size);
        RegCloseKey(key);
        if (read == ERROR_SUCCESS && value[0] != 0)
            return value;
    }
    return {};
}

// The program an open command starts: its first argument, without quotes.
WIDESTRING CommandProgram(const WIDESTRING& Command)
{
    const bool quoted = !Command.empty() && Command[0] == '"';
    return Command.substr(quoted ? 1 : 0, Command.find(quoted ? '"' : ' ', 1) - (quoted ? 1 : 0));
}

// Whether database files open in a program that exists, whoever registered it.
bool AssociationLives()
{
    char ext[8];
    char cls[MAXL_CLASSKEY];
    char key[MAXL_CLASSKEY];
    const WIDESTRING name = ClassValue(StrFormat(ext, sizeof ext, ".%s", strExtDBase));
    if (name.empty() || WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, cls, sizeof cls, nullptr, nullptr) == 0)
        return false;
    const WIDESTRING program = CommandProgram(ClassValue(StrFormat(key, sizeof key, "%s%s", cls, strOpenCommand)));
    return !program.empty() && GetFileAttributesW(program.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void SetDefaultValue(const char* SubKey, const WIDESTRING& Text)
{
    char path[MAXL_CLASSKEY + sizeof strUserClasses];
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, StrFormat(path, sizeof path, "%s%s", strUserClasses, SubKey), &key) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(Text.c_str()),
                   static_cast<DWORD>((Text.size() + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
}

}  // namespace

int CfgSetFileClasses()
{
    if (AssociationLives())
        return 1;
    WCHAR program[MAXL_PROGRAMPATH];
    const DWORD n = GetModuleFileNameW(nullptr, program, MAXL_PROGRAMPATH);
    if (n == 0 || n >= MAXL_PROGRAMPATH)  // a cut path would name another file
        return 1;
    const WIDESTRING quoted = Widen("\"") + program + Widen("\"");
    char key[MAXL_CLASSKEY];
    SetDefaultValue(strRegDB, Widen(strRegDescDB));
    SetDefaultValue(StrFormat(key, sizeof key, "%s\\DefaultIcon", strRegDB), quoted + Widen(", 1"));
    SetDefaultValue(StrFormat(key, sizeof key, "%s%s", strRegDB, strOpenCommand), quoted + Widen(" \"%1\""));
    SetDefaultValue(StrFormat(key, sizeof key, ".%s", strExtDBase), Widen(strRegDB));
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return 1;
}

namespace {

// A text value into Text (Size bytes); empty when missing or too long for
// it: a cut path would name another file.
void GetText(HKEY Key, const char* Name, char* Text, DWORD Size)
{
    DWORD type = 0;
    DWORD size = Size;
    const LONG result = RegQueryValueExA(Key, Name, nullptr, &type, reinterpret_cast<BYTE*>(Text), &size);
    if (result != ERROR_SUCCESS || type != REG_SZ || std::memchr(Text, '\0', Size) == nullptr)
        Text[0] = '\0';
}

}  // namespace

int CfgStore()
{
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, strRegRoot, &key) != ERROR_SUCCESS)
        return 1;
    const auto setText = [key](const char* Name, const char* Text) {
        RegSetValueExA(key, Name, 0, REG_SZ, reinterpret_cast<const BYTE*>(Text), static_cast<DWORD>(std::strlen(Text) + 1));
    };
    setText(strRegRecent, DBGetPath(MainGetDB()));
    setText(strRegLevel, StateGetLevel() ? "1" : "0");
    RegCloseKey(key);
    return 1;
}

int CfgRestore()
{
    char path[MAXL_DBPATH + 1] = {};
    char level[2] = {};
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, strRegRoot, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        GetText(key, strRegRecent, path, sizeof path);
        GetText(key, strRegLevel, level, sizeof level);
        RegCloseKey(key);
    }
    DBSetPath(MainGetDB(), path);
    StateSetLevel(std::strcmp(level, "0") != 0);
    return 1;
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
    std::size_t end = Text.find_first_of(quoted ? "\"" : " \t", from);
    if (end == std::string_view::npos)
        end = Text.size();
    const std::string_view argument = Text.substr(from, end - from);
    Text.remove_prefix(std::min(Text.size(), end + (quoted ? 1 : 0)));
    return argument;
}

bool EndsWithNoCase(std::string_view Text, std::string_view End)
{
    if (Text.size() < End.size())
        return false;
    for (std::size_t i = 0; i < End.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(Text[Text.size() - End.size() + i])) != End[i])
            return false;
    return true;
}

// The program first: some launchers pass its path unquoted, blanks and all
// ("C:\Program Files\Tandem\tandem.exe"), so it ends at the first ".exe"
// that a blank or the end follows.
std::string_view TakeProgram(std::string_view& Text)
{
    Text = TrimBlanks(Text);
    for (std::size_t end = 0; !Text.empty() && Text.front() != '"' && end < Text.size(); ++end) {
        if ((end + 1 == Text.size() || IsBlank(Text[end + 1])) && EndsWithNoCase(Text.substr(0, end + 1), ".exe")) {
            const std::string_view program = Text.substr(0, end + 1);
            Text.remove_prefix(end + 1);
            return program;
        }
    }
    return TakeArgument(Text);
}

bool EndsWithDBExtension(std::string_view path)
{
    char ext[8];
    StrFormat(ext, sizeof ext, ".%s", strExtDBase);
    return path.size() > std::strlen(ext) && EndsWithNoCase(path, ext);
}

int CopyWhole(char* Path, int Size, std::string_view text)
{
    if (StrCopy(Path, static_cast<std::size_t>(Size), text))
        return 1;
    Path[0] = '\0';
    return 0;
}

}  // namespace

int CfgCmdLineDB(const char* CmdLine, char* Path, int Size)
{
    std::string_view text = CmdLine != nullptr ? CmdLine : "";
    TakeProgram(text);
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

int CfgIsDatabaseFile(const char* Path)
{
    const auto at = [Path](std::size_t i) { return static_cast<unsigned char>(Path[i]); };
    const bool drive = Path != nullptr && std::isalpha(at(0)) && Path[1] == ':' && Path[2] == '\\';
    const bool share = Path != nullptr && Path[0] == '\\' && Path[1] == '\\';
    const DWORD attributes = drive || share ? GetFileAttributesA(Path) : INVALID_FILE_ATTRIBUTES;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ? 1 : 0;
}
