// The end-to-end tests' fixture: a scratch folder named after the test;
// every process a test starts, and every player, is stopped by its
// teardown; registry values and environment variables it set are restored.
#pragma once

#include "host.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

// ---- the fixture ----

class Test : public ::testing::Test {
protected:
    // Makes the scratch folder named after the test.
    void SetUp() override;
    // Stops every started process and every player, then restores the
    // registry values and environment variables set through this fixture.
    void TearDown() override;

    // Players that the program starts through their file class's open
    // command are tplayer.exe, keeping journals in the scratch folder.
    void UseTestPlayers();
    void SetRegistry(HKEY root, const std::string& path, const std::string& name, const std::string& value);
    void SetEnv(const std::string& name, const std::string& value);

    std::string scratch;

private:
    // What restores each value set, in the order set.
    std::vector<std::function<void()>> undo_;
};

}  // namespace e2e
