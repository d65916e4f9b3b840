#include "fncfg.h"

#include "fndb.h"
#include "fnlang.h"
#include "fnmain.h"
#include "platform.h"
#include "string2.h"

#include <cstring>

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
        if (MainCmdLineProgram(GetCommandLineA(), program, MAXL_ICONTEXT - 8)) {
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
