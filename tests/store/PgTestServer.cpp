#include "PgTestServer.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace k32::test {

namespace fs = std::filesystem;

namespace {

bool HasServerPrograms(const fs::path& folder) {
    std::error_code ec;
    return fs::exists(folder / "initdb", ec) && fs::exists(folder / "pg_ctl", ec) &&
           fs::exists(folder / "postgres", ec);
}

const char* const kSuperUser = "kestrama";

}  // namespace

std::string PgTestServer::FindServerPrograms() {
    if (const char* given = std::getenv("KESTRAMA_PG_BIN"); given && *given)
        return HasServerPrograms(given) ? given : "";
    // Debian keeps the server programs out of PATH, one folder per major version: take the
    // newest.
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec))
        if (HasServerPrograms(entry.path() / "bin"))
            found.push_back(entry.path() / "bin");
    if (!found.empty()) {
        std::sort(found.begin(), found.end(), [](const fs::path& a, const fs::path& b) {
            return std::atoi(a.parent_path().filename().c_str()) <
                   std::atoi(b.parent_path().filename().c_str());
        });
        return found.back().string();
    }
    if (const char* path = std::getenv("PATH")) {
        std::stringstream dirs(path);
        std::string dir;
        while (std::getline(dirs, dir, ':'))
            if (!dir.empty() && HasServerPrograms(dir))
                return dir;
    }
    return "";
}

PgTestServer::PgTestServer() {
    bin_ = FindServerPrograms();
    if (bin_.empty()) {
        skipReason_ =
            "the PostgreSQL server programs (initdb, pg_ctl, postgres) are not installed; "
            "Debian's package postgresql has them";
        return;
    }
    // The socket path must stay short (about 100 bytes), so the folder is under /tmp whatever
    // TMPDIR says; and the server user must be able to reach it.
    std::string tmpl = "/tmp/k32pg-XXXXXX";
    if (!::mkdtemp(tmpl.data())) {
        problem_ = "cannot create a folder under /tmp";
        return;
    }
    folder_ = tmpl;
    if (::geteuid() == 0) {
        // The server will not run as root: it runs as the system's PostgreSQL user, else as
        // nobody, and owns its folder.
        for (const char* name : {"postgres", "nobody"}) {
            if (const passwd* pw = ::getpwnam(name)) {
                runAs_ = name;
                runUid_ = pw->pw_uid;
                runGid_ = pw->pw_gid;
                break;
            }
        }
        if (runAs_.empty()) {
            problem_ = "running as root, and there is neither a user postgres nor nobody";
            return;
        }
        if (::chown(folder_.c_str(), runUid_, runGid_) != 0) {
            problem_ = "cannot give " + folder_ + " to " + runAs_;
            return;
        }
    }
    const std::string data = folder_ + "/data";
    if (!Run({bin_ + "/initdb", "--no-sync", "--no-instructions", "-A", "trust", "-U", kSuperUser,
              "-E", "UTF8", "--locale=C", "-D", data},
             true)) {
        problem_ = "initdb failed: " + LogTail();
        return;
    }
    // No TCP at all, the socket in our folder, no fsync: nothing outside the folder is touched
    // and nothing waits for the disk.
    const std::string options = "-k " + folder_ + " -c listen_addresses='' -F";
    if (!Run({bin_ + "/pg_ctl", "-D", data, "-l", folder_ + "/server.log", "-w", "-t", "60", "-o",
              options, "start"},
             true)) {
        problem_ = "the server did not start: " + LogTail();
        return;
    }
    running_ = true;
}

PgTestServer::~PgTestServer() {
    if (running_)
        Run({bin_ + "/pg_ctl", "-D", folder_ + "/data", "-m", "immediate", "-w", "stop"}, true);
    if (!folder_.empty()) {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
}

std::string PgTestServer::CreateDatabase(const std::string& name) {
    if (!running_)
        return "";
    if (!Run({bin_ + "/createdb", "-h", folder_, "-U", kSuperUser, name}, false)) {
        problem_ = "createdb " + name + " failed: " + LogTail();
        return "";
    }
    return "postgresql:///" + name + "?host=" + folder_ + "&user=" + kSuperUser;
}

bool PgTestServer::Run(const std::vector<std::string>& argv, bool asServerUser) {
    const std::string log = folder_ + "/programs.log";
    const pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd >= 0) {
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            ::close(fd);
        }
        const int devnull = ::open("/dev/null", O_RDONLY);
        if (devnull >= 0)
            ::dup2(devnull, 0);
        if (asServerUser && !runAs_.empty()) {
            // The log stays writable by the server user, whoever created it first.
            if (::fchown(1, runUid_, runGid_) != 0) {
            }
            if (::setgroups(0, nullptr) != 0 || ::setgid(runGid_) != 0 || ::setuid(runUid_) != 0)
                ::_exit(126);
        }
        ::setenv("LC_ALL", "C", 1);
        ::unsetenv("PGHOST");
        ::unsetenv("PGPORT");
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        // The server's helpers are found next to it, and a folder the server user cannot read
        // must not be its working folder.
        if (::chdir(folder_.c_str()) != 0)
            ::_exit(126);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string PgTestServer::LogTail() const {
    std::string text;
    for (const char* name : {"/programs.log", "/server.log"}) {
        std::ifstream f(folder_ + name);
        std::stringstream ss;
        ss << f.rdbuf();
        text += ss.str();
    }
    if (text.size() > 2000)
        text = "..." + text.substr(text.size() - 2000);
    return text;
}

PgTestServer& SharedPgTestServer() {
    // Destroyed at exit, after every test: stops the server and removes its folder.
    static PgTestServer server;
    return server;
}

}  // namespace k32::test
