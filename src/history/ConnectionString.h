#pragma once
// PostgreSQL connection strings as a user gives them (a "postgresql://" URI in any letter case,
// or keyword=value pairs): which locations name a server, what the client library is handed,
// and how a string is shown in messages, never with its password.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace k32 {

// True for a keyword of a connection string in the keyword=value form ("host", "dbname",
// "service", ...), in lower case as the client library spells them.
bool IsConnectionKeyword(std::string_view word);

// The connection string as the client library takes it: a URI's scheme, which may be typed in
// any letter case, in lower case, the only case the library knows. Anything else as it is.
std::string ClientConnectionString(const std::string& conninfo);

// The connection string as it may be shown, never with a password or any part of one. Read as
// the client library reads it (the library is loaded for that): a URI keeps its form without
// the password of its user information and without password parameters; a keyword=value string
// is rebuilt from its options without the password ones. A string that cannot be read, that the
// library reads otherwise than its text suggests (a password holding an unescaped "@" or "/"),
// or that would still show a password is shown only as "(connection string not shown)" after
// its scheme; so is a keyword=value string when the library cannot be loaded.
std::string ConnectionStringWithoutPassword(const std::string& conninfo);

// The byte ranges [first, second) of a server location that hold a password or may: the password
// of a URI's user information (up to the last "@" before the query, when the password itself
// holds an "@" or a "/"), and the values of password parameters and password keywords. Read
// from the text alone, without the client library; empty for a location without a password.
std::vector<std::pair<std::size_t, std::size_t>> PasswordSpans(std::string_view conninfo);

// True when a server location holds a password: one of PasswordSpans, or one that the client
// library (when it can be loaded) reads in it.
bool HasPassword(const std::string& conninfo);

// The connection string as it may be shown, whether all of it is shown, and the texts that must
// never be (for the library's messages).
struct ConnectionShown {
    std::string text;
    bool whole = true;
    std::vector<std::string> secrets;
};

ConnectionShown ShowConnection(const std::string& conninfo);

// A message of the client library about `shown`'s connection string, without its password.
std::string WithoutSecrets(std::string message, const ConnectionShown& shown);

}  // namespace k32
