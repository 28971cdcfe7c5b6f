#pragma once
// Where the program's parts lie relative to each other. The batch program kestrama32 starts the
// window program kestrama32-window when it is asked for the window; in the build tree the two
// lie side by side, once installed the window program is in the libexec folder and the manual
// in the data folder. Every path is worked out from the running executable, so an installed
// tree works wherever it was installed.

#include <string>
#include <vector>

namespace k32 {

// The environment variable by which kestrama32 hands its own folder to the window program: the
// debug log and the manual are looked for there, as when both were one program.
inline constexpr const char* kProgramFolderVariable = "KESTRAMA32_PROGRAM_DIR";

inline constexpr const char* kWindowProgramName = "kestrama32-window";

// Where the window program may be, in the order looked at: beside kestrama32, then in the
// installed libexec folder relative to it. Paths are lexically normalised.
std::vector<std::string> WindowProgramCandidates(const std::string& programFolder);

struct WindowProgram {
    std::string path;  // the one to start, or the one that is missing
    int error = 0;     // 0 when it can be started, else the errno that says why not
};

// The first candidate that exists; it must be executable. When none exists, the installed path
// with ENOENT.
WindowProgram FindWindowProgram(const std::string& programFolder);

// The window program's "program folder": the folder kestrama32 handed over, when it is an
// absolute path, else the window program's own folder.
std::string WindowProgramFolder(const std::string& ownFolder);

// Where the manual may be, in the order looked at: beside kestrama32, beside the window
// program, the installed data folder relative to either, and last the data folder of the
// configured install prefix.
std::vector<std::string> ManualCandidates(const std::string& programFolder,
                                          const std::string& ownFolder);

// The first candidate that exists, else the first one (the viewer then shows its own page for a
// missing file).
std::string FindManual(const std::string& programFolder, const std::string& ownFolder);

}  // namespace k32
