#include "history/ConnectionString.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <optional>

#include "history/HistoryStore.h"
#include "history/PgClient.h"

namespace k32 {

namespace {

// The value of one parameter of a URI's query, its percent escapes undone.
std::string Unescaped(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            int v = 0;
            if (std::from_chars(s.data() + i + 1, s.data() + i + 3, v, 16).ptr ==
                s.data() + i + 3) {
                out += static_cast<char>(v);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

// The keywords of the keyword=value form, as the client library of PostgreSQL 15 and 16 knows
// them.
constexpr std::string_view kConnectionKeywords[] = {"application_name",
                                                    "channel_binding",
                                                    "client_encoding",
                                                    "connect_timeout",
                                                    "dbname",
                                                    "fallback_application_name",
                                                    "gssdelegation",
                                                    "gssencmode",
                                                    "gsslib",
                                                    "host",
                                                    "hostaddr",
                                                    "keepalives",
                                                    "keepalives_count",
                                                    "keepalives_idle",
                                                    "keepalives_interval",
                                                    "krbsrvname",
                                                    "load_balance_hosts",
                                                    "options",
                                                    "passfile",
                                                    "password",
                                                    "port",
                                                    "replication",
                                                    "require_auth",
                                                    "requirepeer",
                                                    "requiressl",
                                                    "service",
                                                    "ssl_max_protocol_version",
                                                    "ssl_min_protocol_version",
                                                    "sslcert",
                                                    "sslcertmode",
                                                    "sslcompression",
                                                    "sslcrl",
                                                    "sslcrldir",
                                                    "sslkey",
                                                    "sslmode",
                                                    "sslpassword",
                                                    "sslrootcert",
                                                    "sslsni",
                                                    "target_session_attrs",
                                                    "tcp_user_timeout",
                                                    "user"};

constexpr const char* kNotShown = "(connection string not shown)";

bool IsSecretKeyword(std::string_view word) {
    return word == "password" || word == "sslpassword";
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The length of a URI's scheme and its "://" in any letter case; 0 when there is none.
std::size_t UriPrefixLength(std::string_view s) {
    for (std::string_view scheme :
         {std::string_view("postgresql://"), std::string_view("postgres://")})
        if (s.size() >= scheme.size() &&
            std::equal(scheme.begin(), scheme.end(), s.begin(),
                       [](char want, char typed) { return want == LowerAscii(typed); }))
            return scheme.size();
    return 0;
}

std::string LowerPrefix(std::string_view s, std::size_t n) {
    std::string out(s.substr(0, n));
    std::transform(out.begin(), out.end(), out.begin(), LowerAscii);
    return out;
}

// True when a URI's query would not be taken: a parameter without "=" or that names no option.
bool QueryMalformed(std::string_view query) {
    if (query.empty())
        return false;
    std::size_t from = 0;
    while (from <= query.size()) {
        std::size_t end = query.find('&', from);
        if (end == std::string_view::npos)
            end = query.size();
        const std::string_view param = query.substr(from, end - from);
        const std::size_t eq = param.find('=');
        if (eq == std::string_view::npos)
            return true;
        const std::string key = Unescaped(param.substr(0, eq));
        if (!IsConnectionKeyword(key) && key != "ssl")
            return true;
        from = end + 1;
    }
    return false;
}

// How a URI's user information is read, as offsets into the text after the scheme. The client
// library ends it at the first "@" before any "/"; a password that holds an "@" or a "/" itself
// ends at the last "@" before the query instead (the library then reads part of the password as
// the host, the port or the database, which must not be shown either).
struct UserInfo {
    std::size_t end = std::string_view::npos;    // the "@" that ends it; npos without one
    std::size_t colon = std::string_view::npos;  // the ":" before the password; npos without one
    bool userColon = false;  // the text starts with a name and a ":" (a user and a password, or
                             // a host and a port)
};

UserInfo ReadUserInfo(std::string_view r) {
    UserInfo info;
    const std::size_t stop = r.find_first_of("@/");
    if (stop != std::string_view::npos && r[stop] == '@')
        info.end = stop;
    const std::size_t nameEnd = r.find_first_of(":/@?");
    info.userColon = nameEnd != std::string_view::npos && r[nameEnd] == ':';
    if (info.userColon) {
        const std::size_t query = r.find('?');
        const std::size_t lastAt = r.substr(0, query).rfind('@');
        if (lastAt != std::string_view::npos &&
            (info.end == std::string_view::npos || lastAt > info.end))
            info.end = lastAt;
        // A password with a "?" and then a "/": what follows its "?" is no query the library
        // takes, and the password runs to the last "@".
        if (info.end == std::string_view::npos && query != std::string_view::npos &&
            QueryMalformed(r.substr(query + 1)))
            info.end = r.rfind('@');
    }
    if (info.end != std::string_view::npos) {
        const std::size_t colon = r.substr(0, info.end).find(':');
        info.colon = colon;
    }
    return info;
}

// The password spans of a URI's query starting at `query` (just after its "?") in `s`.
void QuerySpans(std::string_view s, std::size_t query,
                std::vector<std::pair<std::size_t, std::size_t>>& spans) {
    std::size_t from = query;
    while (from <= s.size()) {
        std::size_t end = s.find('&', from);
        if (end == std::string_view::npos)
            end = s.size();
        const std::string_view param = s.substr(from, end - from);
        const std::size_t eq = param.find('=');
        if (IsSecretKeyword(Unescaped(param.substr(0, eq))))
            spans.emplace_back(eq == std::string_view::npos ? from : from + eq + 1, end);
        from = end + 1;
    }
}

// The password spans of a keyword=value string, read as the client library reads it: blanks
// between the pairs and around "=", a value quoted with "'" or running to the next blank, "\"
// escaping the next character. A string the library would refuse hides everything from its
// first "password" on.
void KeywordSpans(std::string_view s, std::vector<std::pair<std::size_t, std::size_t>>& spans) {
    std::size_t i = 0;
    const auto refused = [&] {
        const std::size_t p = s.find("password");
        if (p != std::string_view::npos)
            spans.emplace_back(p, s.size());
    };
    while (true) {
        while (i < s.size() && IsBlank(s[i]))
            ++i;
        if (i == s.size())
            return;
        const std::size_t name = i;
        while (i < s.size() && s[i] != '=' && !IsBlank(s[i]))
            ++i;
        const std::string_view keyword = s.substr(name, i - name);
        while (i < s.size() && IsBlank(s[i]))
            ++i;
        if (i == s.size() || s[i] != '=')
            return refused();
        ++i;
        while (i < s.size() && IsBlank(s[i]))
            ++i;
        const std::size_t value = i;
        if (i < s.size() && s[i] == '\'') {
            ++i;
            while (true) {
                if (i >= s.size())
                    return refused();
                if (s[i] == '\\')
                    i += 2;
                else if (s[i++] == '\'')
                    break;
            }
        } else {
            while (i < s.size() && !IsBlank(s[i]))
                i += s[i] == '\\' ? 2 : 1;
            i = std::min(i, s.size());
        }
        if (IsSecretKeyword(keyword))
            spans.emplace_back(value, i);
    }
}

// A URI without its password: the user information's password and the password parameters
// left out. `whole` turns false when the text cannot be shown so: a password that the library
// would read partly as the host list, or a query it would refuse.
std::string UriWithoutPassword(std::string_view s, bool& whole) {
    const std::size_t prefix = UriPrefixLength(s);
    const std::string_view r = s.substr(prefix);
    const UserInfo info = ReadUserInfo(r);
    std::string out = LowerPrefix(s, prefix);
    std::size_t rest = 0;
    if (info.end != std::string_view::npos) {
        out += r.substr(0, std::min(info.colon, info.end));
        out += '@';
        rest = info.end + 1;
    }
    const std::string_view remainder = r.substr(rest);
    const std::size_t query = remainder.find('?');
    const std::size_t at = remainder.find('@');
    if ((at != std::string_view::npos && (at < query || info.userColon)) ||
        (query != std::string_view::npos && QueryMalformed(remainder.substr(query + 1)))) {
        whole = false;
        return {};
    }
    out += remainder.substr(0, query);
    if (query == std::string_view::npos)
        return out;
    std::string kept;
    std::size_t from = query + 1;
    while (from <= remainder.size()) {
        std::size_t end = remainder.find('&', from);
        if (end == std::string_view::npos)
            end = remainder.size();
        const std::string_view param = remainder.substr(from, end - from);
        if (!param.empty() && !IsSecretKeyword(Unescaped(param.substr(0, param.find('='))))) {
            kept += kept.empty() ? '?' : '&';
            kept += param;
        }
        from = end + 1;
    }
    return out + kept;
}

// The options that the client library reads in a connection string, the password ones apart.
struct ReadOptions {
    std::vector<std::pair<std::string, std::string>> shown;  // in the library's order
    std::vector<std::string> secrets;
};

std::optional<ReadOptions> ReadByLibrary(const PgClient& pq, const std::string& conninfo) {
    // No error text is asked for: it may quote the password.
    PQconninfoOption* options = pq.conninfoParse(ClientConnectionString(conninfo).c_str(), nullptr);
    if (!options)
        return std::nullopt;
    ReadOptions read;
    for (const PQconninfoOption* o = options; o->keyword; ++o) {
        if (!o->val)
            continue;
        // The library marks its password fields with "*": they are never to be shown.
        if ((o->dispchar && o->dispchar[0] == '*') || IsSecretKeyword(o->keyword)) {
            if (*o->val)
                read.secrets.emplace_back(o->val);
        } else {
            read.shown.emplace_back(o->keyword, o->val);
        }
    }
    pq.conninfoFree(options);
    return read;
}

// A value of the keyword=value form, quoted when it must be.
std::string KeywordValue(const std::string& value) {
    if (!value.empty() && value.find_first_of(" \t\n\r\f\v'\\") == std::string::npos)
        return value;
    std::string out = "'";
    for (char c : value) {
        if (c == '\'' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "'";
}

}  // namespace

ConnectionShown ShowConnection(const std::string& conninfo) {
    ConnectionShown shown;
    for (const auto& [begin, end] : PasswordSpans(conninfo)) {
        const std::string secret = conninfo.substr(begin, end - begin);
        if (!secret.empty()) {
            shown.secrets.push_back(secret);
            shown.secrets.push_back(Unescaped(secret));
        }
    }
    const std::size_t prefix = UriPrefixLength(conninfo);
    const auto hidden = [&] {
        shown.text = LowerPrefix(conninfo, prefix) + (prefix > 0 ? " " : "") + kNotShown;
        shown.whole = false;
        return shown;
    };
    const PgClient* pq = nullptr;
    try {
        pq = &LoadPgClient();
    } catch (const std::exception&) {
        // Without the library, only what the text alone shows safely.
    }
    std::optional<ReadOptions> read;
    if (pq) {
        read = ReadByLibrary(*pq, conninfo);
        if (!read)
            return hidden();
        shown.secrets.insert(shown.secrets.end(), read->secrets.begin(), read->secrets.end());
    }
    if (prefix > 0) {
        bool whole = true;
        shown.text = UriWithoutPassword(conninfo, whole);
        if (!whole)
            return hidden();
        // What is shown must read as the same options, the password apart: else the library
        // reads the text otherwise than it looks, and it is not shown.
        if (read) {
            const std::optional<ReadOptions> again = ReadByLibrary(*pq, shown.text);
            if (!again || again->shown != read->shown || !again->secrets.empty())
                return hidden();
        }
    } else {
        if (!read)
            return hidden();
        for (const auto& [keyword, value] : read->shown) {
            if (!shown.text.empty())
                shown.text += ' ';
            shown.text += keyword + "=" + KeywordValue(value);
        }
    }
    for (const std::string& secret : shown.secrets)
        if (!secret.empty() && shown.text.find(secret) != std::string::npos)
            return hidden();
    return shown;
}

// A message of the client library about a connection string, without its password: the
// password's texts replaced, and, for a string that is not shown whole, every quoted text too
// (the library quotes the parts it could not read).
std::string WithoutSecrets(std::string message, const ConnectionShown& shown) {
    for (const std::string& secret : shown.secrets) {
        if (secret.empty())
            continue;
        for (std::size_t at = message.find(secret); at != std::string::npos;
             at = message.find(secret, at + 1))
            message.replace(at, secret.size(), "(not shown)");
    }
    if (shown.whole)
        return message;
    std::string out;
    bool quoted = false;
    for (char c : message) {
        if (c == '"') {
            out += quoted ? "(not shown)\"" : "\"";
            quoted = !quoted;
        } else if (!quoted) {
            out += c;
        }
    }
    return out;
}

bool IsConnectionKeyword(std::string_view word) {
    return std::find(std::begin(kConnectionKeywords), std::end(kConnectionKeywords), word) !=
           std::end(kConnectionKeywords);
}

bool IsServerLocation(std::string_view where) {
    if (UriPrefixLength(where) > 0)
        return true;
    // A keyword=value string starts with a keyword and "=": a file path holds a "/" or a ".",
    // or names no option of the client library.
    std::size_t i = 0;
    while (i < where.size() && IsBlank(where[i]))
        ++i;
    const std::size_t name = i;
    while (i < where.size() && ((where[i] >= 'a' && where[i] <= 'z') || where[i] == '_'))
        ++i;
    const std::string_view keyword = where.substr(name, i - name);
    while (i < where.size() && IsBlank(where[i]))
        ++i;
    return i < where.size() && where[i] == '=' && IsConnectionKeyword(keyword);
}

std::string ClientConnectionString(const std::string& conninfo) {
    const std::size_t prefix = UriPrefixLength(conninfo);
    return LowerPrefix(conninfo, prefix) + conninfo.substr(prefix);
}

std::vector<std::pair<std::size_t, std::size_t>> PasswordSpans(std::string_view conninfo) {
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    const std::size_t prefix = UriPrefixLength(conninfo);
    if (prefix == 0) {
        if (IsServerLocation(conninfo))
            KeywordSpans(conninfo, spans);
        return spans;
    }
    const std::string_view r = conninfo.substr(prefix);
    const UserInfo info = ReadUserInfo(r);
    std::size_t rest = prefix;
    if (info.end != std::string_view::npos) {
        if (info.colon != std::string_view::npos)
            spans.emplace_back(prefix + info.colon + 1, prefix + info.end);
        rest = prefix + info.end + 1;
    }
    const std::size_t query = conninfo.find('?', rest);
    if (query != std::string_view::npos)
        QuerySpans(conninfo, query + 1, spans);
    return spans;
}

bool HasPassword(const std::string& conninfo) {
    if (!IsServerLocation(conninfo))
        return false;
    for (const auto& [begin, end] : PasswordSpans(conninfo))
        if (end > begin)
            return true;
    try {
        const std::optional<ReadOptions> read = ReadByLibrary(LoadPgClient(), conninfo);
        return read && !read->secrets.empty();
    } catch (const std::exception&) {
        return false;
    }
}

std::string ConnectionStringWithoutPassword(const std::string& conninfo) {
    return ShowConnection(conninfo).text;
}

}  // namespace k32
