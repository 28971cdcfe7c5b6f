#pragma once
// Runs SQL on an SQLite file as an administrator's own query would, outside the store: each
// row's values joined by "|", NULL as "NULL", one line per row. An error fails the test.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

namespace k32::test {

inline std::string SqliteQuery(const std::string& file, const std::string& sql) {
    sqlite3* h = nullptr;
    sqlite3_open_v2(file.c_str(), &h, SQLITE_OPEN_READWRITE, nullptr);
    std::string out;
    char* error = nullptr;
    sqlite3_exec(
        h, sql.c_str(),
        [](void* o, int n, char** values, char**) {
            auto& s = *static_cast<std::string*>(o);
            for (int i = 0; i < n; ++i)
                s += std::string(i ? "|" : "") + (values[i] ? values[i] : "NULL");
            s += "\n";
            return 0;
        },
        &out, &error);
    if (error) {
        ADD_FAILURE() << sql << ": " << error;
        sqlite3_free(error);
    }
    sqlite3_close(h);
    return out;
}

}  // namespace k32::test
