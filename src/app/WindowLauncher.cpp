#include "app/WindowLauncher.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "app/ProgramPaths.h"
#include "app/Startup.h"

namespace k32 {

int ExecWindowProgram(char** argv, const std::string& programFolder) {
    WindowProgram window = FindWindowProgram(programFolder);
    if (window.error == 0) {
        if (::setenv(kProgramFolderVariable, programFolder.c_str(), 1) != 0)
            window.error = errno;
        else {
            ::execv(window.path.c_str(), argv);
            window.error = errno;  // execv returns only when it failed
        }
    }
    const char* what = window.error == ENOENT ? "is missing" : "cannot be started";
    std::cerr << "kestrama32: the window part " << what << ": " << window.path << " ("
              << std::strerror(window.error) << ")\n";
    return kExitCommandLine;
}

}  // namespace k32
