// Walking a folder tree for "Add directory", on the real file system behind
// the native seam (where, as under Wine, a name beginning with "." is hidden,
// and the ANSI code page is ISO-8859-1).
#include "fakeos.h"
#include "fncomm.h"
#include "fnsong.h"
#include "fnwalk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Walked {
    std::set<std::string> files;    // ANSI paths
    std::set<std::string> unnamed;  // files without one, as the file system names them (UTF-8)
    WALKSTATS stats{};
};

void Collect(const char* Path, const WCHAR* Wide, void* Param)
{
    auto* w = static_cast<Walked*>(Param);
    if (Path != nullptr)
        w->files.insert(Path);
    else
        w->unnamed.insert(fs::path(std::u16string(Wide)).string());
}

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
        WalkFolder(fs::path(folder).u16string().c_str(), recursive, Collect, &w, &w.stats);
        return w;
    }

    const fs::path root = fake::ScratchPath("tandem-walk-");
    const std::string dir = root.string() + "\\";
};

// Names as UTF-8: one the code page holds, and Cyrillic ones with and without a short name.
TEST_F(Walk, TakesEveryVisibleFileOnceByItsANSINameAndCountsOrNamesWhatItCouldNotWalk)
{
    const std::string cafe = "caf\xC3\xA9.mp3", song = "\xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F.mp3";
    const std::string folder = "\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0", forest = "\xD0\x9B\xD0\xB5\xD1\x81";
    for (const std::string& file : {cafe, song, "x" + song, folder + "/x.mp3", forest + "/y.mp3"})
        Touch(root / file);
    fake::SetShortName((root / song).string(), "PESNYA~1.MP3");
    fake::SetShortName((root / folder).string(), "PAPKA~1");

    const Walked all = Run(root.string(), 1);
    const std::set<std::string> top = {dir + "a.mp3", dir + "caf\xE9.mp3", dir + "PESNYA~1.MP3"};
    std::set<std::string> files = {dir + "sub\\b.mp3", dir + "sub\\deep\\c.mp3", dir + "PAPKA~1\\x.mp3"};
    files.insert(top.begin(), top.end());
    EXPECT_EQ(all.files, files);
    EXPECT_EQ(all.unnamed, (std::set<std::string>{dir + "x" + song, dir + forest + "\\y.mp3"}));
    EXPECT_EQ(all.stats.Unread, 1) << "the locked folder";
    EXPECT_EQ(all.stats.Links, 1) << "the link back to the top";

    const Walked flat = Run(dir, 0);
    EXPECT_EQ(flat.files, top) << "no subfolders; a final backslash is fine";
    EXPECT_EQ(flat.stats.Unread + flat.stats.Links, 0);
    EXPECT_EQ(Run(dir + forest, 0).unnamed, std::set<std::string>{dir + forest + "\\y.mp3"}) << "a chosen folder without an ANSI name";

    // Whole paths, as the file dialogs give them: a file to be saved may be new.
    const struct { std::string path; ANSINAME kind; std::string ansi; } paths[] = {
        {dir + folder + "\\new.tdb", ANSI_SHORT, dir + "PAPKA~1\\new.tdb"}, {dir + cafe, ANSI_NAME, dir + "caf\xE9.mp3"},
        {dir + forest + "\\y.mp3", ANSI_NONE, ""}, {dir + folder + "\\" + song, ANSI_NONE, ""},
        {dir + std::string(MAXL_SONGPATH, 'l'), ANSI_TOOLONG, ""}};
    for (const auto& p : paths) {
        char ansi[MAXL_SONGPATH + 1] = "stale";
        EXPECT_EQ(AnsiPath(fs::path(p.path).u16string().c_str(), ansi, sizeof ansi), p.kind) << p.path;
        EXPECT_EQ(ansi, p.ansi) << p.path;
    }
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
