// Walking a folder tree for "Add directory", on the real file system behind
// the native seam (where, as under Wine, a name beginning with "." is hidden).
#include "fakeos.h"
#include "fnwalk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Walked {
    std::set<std::string> files;
    WALKSTATS stats{};
};

void Collect(const char* Path, void* Param) { static_cast<Walked*>(Param)->files.insert(Path); }

class Walk : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::Reset();
        fs::remove_all(root);
        for (const char* file : {"a.mp3", ".hidden.mp3", "sub/b.mp3", "sub/deep/c.mp3", ".cache/x.mp3", "locked/d.mp3"})
            Touch(root / file);
        fs::create_directory_symlink(root, root / "sub" / "back");  // leads into the walk again
        fake::DenyFolder((root / "locked").string());
    }
    void TearDown() override { fs::remove_all(root); }

    static void Touch(const fs::path& file)
    {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "x";
    }
    Walked Run(const std::string& folder, int recursive)
    {
        Walked w;
        WalkFolder(folder.c_str(), recursive, Collect, &w, &w.stats);
        return w;
    }

    const fs::path root = fs::temp_directory_path() / ("tandem-walk-" + std::to_string(::getpid()));
    const std::string dir = root.string() + "\\";
};

TEST_F(Walk, TakesEveryVisibleFileOnceAndCountsWhatItCouldNotWalk)
{
    const Walked all = Run(root.string(), 1);
    EXPECT_EQ(all.files, (std::set<std::string>{dir + "a.mp3", dir + "sub\\b.mp3", dir + "sub\\deep\\c.mp3"}));
    EXPECT_EQ(all.stats.Unread, 1) << "the locked folder";
    EXPECT_EQ(all.stats.Links, 1) << "the link back to the top";

    const Walked top = Run(dir, 0);
    EXPECT_EQ(top.files, std::set<std::string>{dir + "a.mp3"}) << "no subfolders; a final backslash is fine";
    EXPECT_EQ(top.stats.Unread + top.stats.Links, 0);
}

TEST_F(Walk, PathsLongerThanTheLimitAreCountedNotCut)
{
    // Each level adds 181 characters: the fifth level's folder still fits
    // the limit, its file does not, the sixth level's folder does not.
    fs::path deep = root;
    for (int level = 0; level < 6; ++level)
        deep /= std::string(180, static_cast<char>('a' + level));
    Touch(deep / "e.mp3");
    const std::size_t fifth = dir.size() + 5 * 181;
    ASSERT_LT(fifth, static_cast<std::size_t>(MAXL_WALKPATH));
    ASSERT_GT(fifth + 181, static_cast<std::size_t>(MAXL_WALKPATH));
    Touch(deep.parent_path() / std::string(MAXL_WALKPATH - fifth + 1, 'f'));
    Touch(deep.parent_path() / std::string(MAXL_WALKPATH - fifth, 'g'));

    const Walked w = Run(root.string(), 1);
    EXPECT_EQ(w.files.size(), 4u) << "a, b, c and the file that fits exactly";
    EXPECT_EQ(w.stats.TooLong, 1);
    EXPECT_EQ(w.stats.Unread, 2) << "the locked folder and the sixth level";
}

}  // namespace
