#include "history/HistoryStore.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "history/PgHistoryStore.h"
#include "history/SqliteHistoryStore.h"
#include "text/Errors.h"

namespace k32 {

namespace {

// Creates the folders above the default file, as a first run needs them.
void MakeParentFolders(const std::string& file) {
    for (std::size_t at = file.find('/', 1); at != std::string::npos; at = file.find('/', at + 1)) {
        const std::string folder = file.substr(0, at);
        if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
            ThrowIoError(errno, folder, true);
    }
}

}  // namespace

std::unique_ptr<HistoryStore> OpenHistoryStore(const std::string& where) {
    if (where.empty()) {
        const std::string file = DefaultHistoryFile();
        MakeParentFolders(file);
        return std::make_unique<SqliteHistoryStore>(file);
    }
    if (IsServerLocation(where)) {
        try {
            return std::make_unique<PgHistoryStore>(where);
        } catch (const KestramaError&) {
            throw;
        } catch (const std::exception& e) {
            // The client library is missing: one line naming the store and the reason.
            throw KestramaError(ErrorKind::InputOutput, e.what(),
                                ConnectionStringWithoutPassword(where));
        }
    }
    return std::make_unique<SqliteHistoryStore>(where);
}

// GCC 12 warns of an overlap in std::string's append that cannot happen here (a known false
// positive of -Wrestrict with -O3).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
std::string DefaultHistoryFile() {
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    std::string file;
    if (data && *data == '/') {
        file.assign(data);
    } else if (home && *home) {
        file.assign(home);
        file.append("/.local/share");
    } else {
        file.assign(".");
    }
    file.append("/kestrama32/history.sqlite");
    return file;
}
#pragma GCC diagnostic pop

}  // namespace k32
