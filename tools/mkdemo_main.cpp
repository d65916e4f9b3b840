// mkdemo: writes the demo library (tracks and database) into a folder.
#include "mkdemo.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: mkdemo FOLDER [--windows-prefix WINDOWS-PATH-OF-FOLDER] [--db FILE]\n"
                 "Writes a dozen tagged MP3 tracks below FOLDER and the database FILE (default\n"
                 "FOLDER/demo.tdb). Track paths in the database start with WINDOWS-PATH-OF-FOLDER,\n"
                 "by default FOLDER as Wine maps it: /x/y becomes Z:\\x\\y.\n");
    return 2;
}

// Wine shows the Linux root as drive Z:; a path with a drive is already a Windows path.
std::string WineName(const std::string& Path)
{
    if (Path.size() >= 2 && Path[1] == ':' && std::isalpha(static_cast<unsigned char>(Path[0])))
        return Path;
    std::string out = "Z:" + Path;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argv[1][0] == '-')
        return Usage();
    std::error_code error;
    std::string folder = std::filesystem::absolute(argv[1], error).lexically_normal().string();
    if (error)
        return Usage();
    if (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\'))
        folder.pop_back();
    std::string windowsFolder = WineName(folder);
    std::string db = (std::filesystem::path(folder) / "demo.tdb").string();
    for (int i = 2; i < argc; i += 2) {
        const std::string flag = argv[i];
        if (i + 1 >= argc)
            return Usage();
        if (flag == "--windows-prefix")
            windowsFolder = argv[i + 1];
        else if (flag == "--db")
            db = std::filesystem::absolute(argv[i + 1], error).string();
        else
            return Usage();
    }
    std::string message;
    if (!MkDemoWrite(folder, windowsFolder, db, &message)) {
        std::fprintf(stderr, "mkdemo: %s\n", message.c_str());
        return 1;
    }
    std::printf("mkdemo: %zu tracks below %s (%s), database %s\n", MkDemoTracks().size(), folder.c_str(),
                windowsFolder.c_str(), db.c_str());
    return 0;
}
