#include "history/HistoryStore.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <tuple>
#include <utility>

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

HistoryStore::Transaction::Transaction(Transaction&& other) noexcept
    : store_(std::exchange(other.store_, nullptr)) {}

HistoryStore::Transaction::~Transaction() {
    if (store_)
        store_->RollbackWrite();
}

HistoryStore& HistoryStore::Transaction::Open() const {
    if (!store_)
        throw std::logic_error("the history store's transaction is already closed");
    return *store_;
}

std::int64_t HistoryStore::Transaction::RecordRun(const HistorySnapshot& snapshot) {
    return Open().RecordRun(snapshot);
}

std::int64_t HistoryStore::Transaction::RecordRunRows(const HistoryRun& run, std::size_t count,
                                                      const FillMailbox& fill) {
    return Open().RecordRunRows(run, count, fill);
}

void HistoryStore::Transaction::Commit() {
    // A commit that fails leaves the transaction to be rolled back with this object.
    Open().CommitWrite();
    store_ = nullptr;
}

HistoryStore::Transaction HistoryStore::Begin() {
    BeginWrite();
    return Transaction(*this);
}

void HistoryStore::SortByPostOffice(std::vector<HistoryRun>& runs) {
    std::sort(runs.begin(), runs.end(), [](const HistoryRun& a, const HistoryRun& b) {
        return std::tie(a.poName, a.poPath, a.processedAt, a.id) <
               std::tie(b.poName, b.poPath, b.processedAt, b.id);
    });
}

std::vector<HistoryMailbox> HistoryStore::Mailboxes(std::int64_t runId) {
    std::vector<HistoryMailbox> out;
    ForEachMailbox(runId, [&out](HistoryMailbox& m) { out.push_back(std::move(m)); });
    return out;
}

void HistoryStore::ForEachSize(std::int64_t runId, const EachSize& each) {
    ForEachMailbox(runId, [&each](HistoryMailbox& m) { each(m.username, m.sizeMb); });
}

std::int64_t HistoryStore::RecordRunRows(const HistoryRun& run, std::size_t count,
                                         const FillMailbox& fill) {
    HistorySnapshot snapshot{run, std::vector<HistoryMailbox>(count)};
    for (std::size_t i = 0; i < count; ++i)
        fill(i, snapshot.mailboxes[i]);
    return RecordRun(snapshot);
}

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
