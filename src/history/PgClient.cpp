#include "history/PgClient.h"

#include <dlfcn.h>

#include <mutex>
#include <stdexcept>
#include <string>

namespace k32 {

namespace {

// The library's stable name: its major version has been 5 since PostgreSQL 8.2.
constexpr const char* kLibraryName = "libpq.so.5";

template <typename Function>
void Bind(void* library, const char* name, Function& target) {
    void* symbol = ::dlsym(library, name);
    if (!symbol)
        throw std::runtime_error(std::string("the PostgreSQL client library ") + kLibraryName +
                                 " has no function " + name);
    target = reinterpret_cast<Function>(symbol);
}

PgClient Load() {
    // Kept open for the program's life: connections may outlive any one store object.
    void* library = ::dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = ::dlerror();
        throw std::runtime_error(
            std::string("the PostgreSQL client library ") + kLibraryName +
            " could not be loaded (Debian package libpq5): " + (why ? why : "unknown reason"));
    }
    PgClient pq{};
    Bind(library, "PQconnectdb", pq.connectdb);
    Bind(library, "PQstatus", pq.status);
    Bind(library, "PQerrorMessage", pq.errorMessage);
    Bind(library, "PQfinish", pq.finish);
    Bind(library, "PQsetNoticeProcessor", pq.setNoticeProcessor);
    Bind(library, "PQexec", pq.exec);
    Bind(library, "PQexecParams", pq.execParams);
    Bind(library, "PQresultStatus", pq.resultStatus);
    Bind(library, "PQresultErrorMessage", pq.resultErrorMessage);
    Bind(library, "PQresultErrorField", pq.resultErrorField);
    Bind(library, "PQclear", pq.clear);
    Bind(library, "PQntuples", pq.ntuples);
    Bind(library, "PQgetvalue", pq.getvalue);
    Bind(library, "PQgetisnull", pq.getisnull);
    Bind(library, "PQputCopyData", pq.putCopyData);
    Bind(library, "PQputCopyEnd", pq.putCopyEnd);
    Bind(library, "PQgetResult", pq.getResult);
    Bind(library, "PQsendQueryParams", pq.sendQueryParams);
    Bind(library, "PQsetSingleRowMode", pq.setSingleRowMode);
    Bind(library, "PQconninfoParse", pq.conninfoParse);
    Bind(library, "PQconninfoFree", pq.conninfoFree);
    return pq;
}

}  // namespace

const PgClient& LoadPgClient() {
    static std::once_flag once;
    static PgClient client{};
    static std::string failure;
    std::call_once(once, [] {
        try {
            client = Load();
        } catch (const std::exception& e) {
            failure = e.what();
        }
    });
    if (!failure.empty())
        throw std::runtime_error(failure);
    return client;
}

}  // namespace k32
