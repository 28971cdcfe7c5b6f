#pragma once
// A throwaway PostgreSQL server for the store tests: a fresh cluster in a temporary folder,
// reached only through a Unix socket in that folder, run as an ordinary user (the server
// refuses to run as root), stopped and removed when the object goes.

#include <string>
#include <vector>

namespace k32::test {

class PgTestServer {
  public:
    // Starts the server. When it cannot, Problem() says why; SkipReason() is set instead when
    // the server programs are not installed at all (the only case a test may skip for).
    PgTestServer();
    ~PgTestServer();
    PgTestServer(const PgTestServer&) = delete;
    PgTestServer& operator=(const PgTestServer&) = delete;

    bool Running() const { return running_; }
    const std::string& SkipReason() const { return skipReason_; }
    const std::string& Problem() const { return problem_; }
    const std::string& Folder() const { return folder_; }

    // Creates an empty database and returns a libpq connection string ("postgresql://...") for
    // it; empty (with Problem() set) when that fails.
    std::string CreateDatabase(const std::string& name);

    // The path of one of the server's programs (psql, createdb, ...).
    std::string ServerProgram(const std::string& name) const { return bin_ + "/" + name; }

    // The folder that holds initdb, pg_ctl and postgres, or empty when none is installed.
    static std::string FindServerPrograms();

  private:
    // Runs a program and waits for it; as `runAs` (when we are root) if that is not empty. Its
    // output goes to the folder's log, which Problem() quotes on failure.
    bool Run(const std::vector<std::string>& argv, bool asServerUser);
    std::string LogTail() const;

    std::string bin_;
    std::string folder_;
    std::string runAs_;  // the user the server runs as, when we are root
    unsigned runUid_ = 0, runGid_ = 0;
    bool running_ = false;
    std::string skipReason_;
    std::string problem_;
};

// The one server of a test program, started on first use and stopped at exit.
PgTestServer& SharedPgTestServer();

}  // namespace k32::test
