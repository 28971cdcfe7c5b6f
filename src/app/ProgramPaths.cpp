#include "app/ProgramPaths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

// The install layout, relative to each other: the build works them out from the configured
// install folders, so the tree can be moved to any prefix.
#ifndef KESTRAMA_WINDOW_FROM_BIN
#define KESTRAMA_WINDOW_FROM_BIN "../libexec/kestrama32"
#endif
#ifndef KESTRAMA_DATA_FROM_BIN
#define KESTRAMA_DATA_FROM_BIN "../share/kestrama32"
#endif
#ifndef KESTRAMA_DATA_FROM_WINDOW
#define KESTRAMA_DATA_FROM_WINDOW "../../share/kestrama32"
#endif
#ifndef KESTRAMA_DATA_DIR
#define KESTRAMA_DATA_DIR "/usr/local/share/kestrama32"
#endif

namespace k32 {

namespace {

std::string Joined(const std::string& folder, const std::string& relative,
                   const std::string& name) {
    std::filesystem::path p(folder);
    if (!relative.empty())
        p /= relative;
    p /= name;
    return p.lexically_normal().string();
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

std::vector<std::string> WindowProgramCandidates(const std::string& programFolder) {
    return {Joined(programFolder, "", kWindowProgramName),
            Joined(programFolder, KESTRAMA_WINDOW_FROM_BIN, kWindowProgramName)};
}

WindowProgram FindWindowProgram(const std::string& programFolder) {
    const std::vector<std::string> candidates = WindowProgramCandidates(programFolder);
    for (const std::string& path : candidates) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0)
            continue;
        if (!S_ISREG(st.st_mode))
            return {path, EACCES};
        if (::access(path.c_str(), X_OK) != 0)
            return {path, errno};
        return {path, 0};
    }
    return {candidates.back(), ENOENT};
}

std::string WindowProgramFolder(const std::string& ownFolder) {
    const char* handed = std::getenv(kProgramFolderVariable);
    if (handed && handed[0] == '/')
        return handed;
    return ownFolder;
}

std::vector<std::string> ManualCandidates(const std::string& programFolder,
                                          const std::string& ownFolder) {
    const std::string name = "manual.mht";
    std::vector<std::string> candidates{programFolder + "/" + name};
    if (ownFolder != programFolder)
        candidates.push_back(Joined(ownFolder, "", name));
    candidates.push_back(Joined(ownFolder, KESTRAMA_DATA_FROM_WINDOW, name));
    candidates.push_back(Joined(programFolder, KESTRAMA_DATA_FROM_BIN, name));
    candidates.push_back(std::string(KESTRAMA_DATA_DIR) + "/" + name);
    return candidates;
}

std::string FindManual(const std::string& programFolder, const std::string& ownFolder) {
    const std::vector<std::string> candidates = ManualCandidates(programFolder, ownFolder);
    for (const std::string& path : candidates)
        if (Exists(path))
            return path;
    return candidates.front();
}

}  // namespace k32
