#include "fncfg.h"

#include "fndb.h"
#include "fnlang.h"
#include "platform.h"
#include "string2.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

namespace {

constexpr int MAXL_ICONTEXT = 260;

LONG SetDefaultValue(HKEY Key, const char* SubKey, const char* Value)
{
    return RegSetValueA(Key, SubKey, REG_SZ, Value, static_cast<DWORD>(std::strlen(Value)));
}

}  // namespace

int CfgSetFileClasses()
{
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CLASSES_ROOT, strRegDB, &key) == ERROR_SUCCESS) {
        SetDefaultValue(key, "", strRegDescDB);
        // The program file, not the whole command line, which may name a database.
        // A path too long for the texts would name a wrong file; then neither is registered.
        char program[MAXL_ICONTEXT];
        char text[MAXL_ICONTEXT];
        if (CfgCmdLineProgram(GetCommandLineA(), program, MAXL_ICONTEXT - 8)) {
            SetDefaultValue(key, "DefaultIcon", StrFormat(text, sizeof text, "\"%s\", 1", program));
            SetDefaultValue(key, "shell\\open\\command", StrFormat(text, sizeof text, "\"%s\" \"%%1\"", program));
        }
        RegCloseKey(key);
    }
    char ext[8];
    SetDefaultValue(HKEY_CLASSES_ROOT, StrFormat(ext, sizeof ext, ".%s", strExtDBase), strRegDB);
    return 1;
}

int CfgStore()
{
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, strRegRoot, &key) != ERROR_SUCCESS)
        return 1;
    const char* path = DBGetPath(MainGetDB());
    RegSetValueExA(key, strRegRecent, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                   static_cast<DWORD>(std::strlen(path) + 1));
    RegCloseKey(key);
    return 1;
}

int CfgRestore()
{
    char path[MAXL_DBPATH + 1] = {};
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, strRegRoot, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        DWORD type = 0;
        DWORD size = sizeof path;
        const LONG result = RegQueryValueExA(key, strRegRecent, nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
        // Too long for the field (no terminator inside it) counts as no value: a cut path would name another file.
        if (result != ERROR_SUCCESS || type != REG_SZ || std::memchr(path, '\0', sizeof path) == nullptr)
            path[0] = '\0';
        RegCloseKey(key);
    }
    DBSetPath(MainGetDB(), path);
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

int CfgCmdLineProgram(const char* CmdLine, char* Path, int Size)
{
    std::string_view text = CmdLine != nullptr ? CmdLine : "";
    return CopyWhole(Path, Size, TakeProgram(text));
}

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
