#include "e2e.h"

#include "drive.h"
#include "winamp.h"

#include <filesystem>

namespace e2e {

namespace {

bool RegistrySetString(HKEY root, const std::string& path, const std::string& name, const std::string& value)
{
    return RegSetKeyValueA(root, path.c_str(), name.c_str(), REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1)) ==
           ERROR_SUCCESS;
}

}  // namespace

// ---- the fixture ----

// A new, empty folder <temp>\tandem-e2e\<suite>.<test> (emptied of files when it exists).
void Test::SetUp()
{
    SetHangReport([](const std::string& what) { ADD_FAILURE() << what; });
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    char temp[MAX_PATH] = "C:\\";
    GetTempPathA(sizeof temp, temp);
    scratch = JoinPath(temp, std::string("tandem-e2e\\").append(info->test_suite_name()).append(".").append(info->name()));
    std::error_code error;  // what cannot be made or removed shows in the test
    std::filesystem::create_directories(scratch, error);
    for (const auto& entry : std::filesystem::directory_iterator(scratch, error))
        if (!entry.is_directory(error))  // folders stay: stories reuse what is in them
            std::filesystem::remove(entry, error);
}

void Test::TearDown()
{
    StopAll();
    StopWindowsOfClass(WAMP_WINDOWCLASS);
    for (auto it = undo_.rbegin(); it != undo_.rend(); ++it)
        (*it)();
}

void Test::UseTestPlayers()
{
    const std::string open = std::string(1, '"').append(TplayerExe()).append("\" \"%1\"");
    SetRegistry(HKEY_CLASSES_ROOT, "Winamp.File\\shell\\open\\command", "", open);
    SetEnv("TPLAYER_JOURNAL", JoinPath(scratch, "journal-%p.txt"));
}

void Test::SetRegistry(HKEY root, const std::string& path, const std::string& name, const std::string& value)
{
    std::string old;
    const bool existed = RegistryGetString(root, path, name, &old);
    undo_.push_back([=] {
        if (existed)
            RegistrySetString(root, path, name, old);
        else
            RegDeleteKeyValueA(root, path.c_str(), name.c_str());
    });
    ASSERT_TRUE(RegistrySetString(root, path, name, value)) << path;
}

void Test::SetEnv(const std::string& name, const std::string& value)
{
    char old[32768];
    const DWORD n = GetEnvironmentVariableA(name.c_str(), old, sizeof old);
    const bool existed = n > 0 && n < sizeof old;
    undo_.push_back([name, existed, saved = std::string(existed ? old : "")] {
        SetEnvironmentVariableA(name.c_str(), existed ? saved.c_str() : nullptr);
    });
    SetEnvironmentVariableA(name.c_str(), value.c_str());
}

}  // namespace e2e
