#include "app/HistoryCheck.h"

#include <getopt.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <tuple>

#include "app/ErrorLines.h"
#include "app/HistoryCommand.h"
#include "history/HistoryStore.h"
#include "history/LimitCheck.h"
#include "text/Errors.h"

namespace k32 {

namespace {

const char* const kStateNames[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};

// The longest threshold taken, in days: a hundred years.
constexpr unsigned long kMaxDays = 36500;

struct CheckOptions {
    std::string location;
    std::optional<std::string> po, poPath;
    unsigned long warningDays = 30, criticalDays = 7;
    std::optional<unsigned long> maxAge;
};

// The text of the line: a '|' would start the performance data and a line end would end the
// output, so neither is passed on.
std::string TextOf(std::string s) {
    for (char& c : s)
        if (c == '|')
            c = '/';
        else if (c == '\n' || c == '\r')
            c = ' ';
    return s;
}

// Writes the one line of `state` and returns the state as the exit code.
int Say(int state, const std::string& text, const std::string& perfdata = {}) {
    std::cout << "KESTRAMA32 " << kStateNames[state] << " - " << TextOf(text)
              << (perfdata.empty() ? "" : " | " + perfdata) << std::endl;
    return std::cout ? state : kCheckUnknown;
}

int WrongUsage(const std::string& message) {
    return Say(kCheckUnknown,
               "history check: " + message + " (see kestrama32 history check --help)");
}

// A whole number of days as given to a switch: digits only, at most kMaxDays.
std::optional<unsigned long> DaysOf(const std::string& text) {
    unsigned long v = 0;
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || at != end || v > kMaxDays)
        return std::nullopt;
    return v;
}

enum : int { kPo = 'p', kPoPath = 'P', kWarning = 'w', kCritical = 'c', kMaxAge = 'a' };

// Parses `args` into `out`; the exit code when the check ends here (--help, a wrong command line).
std::optional<int> ParseCheckOptions(std::vector<std::string> args, CheckOptions& out) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const option options[] = {{"history", required_argument, nullptr, 'H'},
                              {"po", required_argument, nullptr, kPo},
                              {"po-path", required_argument, nullptr, kPoPath},
                              {"warning-days", required_argument, nullptr, kWarning},
                              {"critical-days", required_argument, nullptr, kCritical},
                              {"max-age", required_argument, nullptr, kMaxAge},
                              {"help", no_argument, nullptr, 'h'},
                              {nullptr, 0, nullptr, 0}};
    const int argc = static_cast<int>(args.size());
    opterr = 0;
    optind = 0;
    for (;;) {
        const int c = getopt_long(argc, argv.data(), ":h", options, nullptr);
        if (c == -1)
            break;
        switch (c) {
            case 'H':
                out.location = optarg;
                continue;
            case kPo:
                out.po = optarg;
                continue;
            case kPoPath:
                out.poPath = optarg;
                continue;
            case kWarning:
            case kCritical:
            case kMaxAge: {
                const char* name = c == kWarning    ? "--warning-days"
                                   : c == kCritical ? "--critical-days"
                                                    : "--max-age";
                const std::optional<unsigned long> days = DaysOf(optarg);
                if (!days)
                    return WrongUsage(std::string(name) +
                                      " takes a whole number of days from 0 to " +
                                      std::to_string(kMaxDays) + ", not \"" + optarg + "\"");
                if (c == kWarning)
                    out.warningDays = *days;
                else if (c == kCritical)
                    out.criticalDays = *days;
                else
                    out.maxAge = days;
                continue;
            }
            case 'h':
                std::cout << HistoryUsageText() << std::flush;
                return std::cout ? kCheckOk : kCheckUnknown;
            case ':':
                return WrongUsage(std::string("option ") + argv[optind - 1] + " needs a value");
            default:
                return WrongUsage("unknown option " +
                                  (optopt != 0 ? std::string("-") + static_cast<char>(optopt)
                                               : std::string(argv[optind - 1])));
        }
    }
    if (optind < argc)
        return WrongUsage(std::string("unexpected argument ") + argv[optind]);
    if (out.warningDays < out.criticalDays)
        return WrongUsage("--warning-days (" + std::to_string(out.warningDays) +
                          ") is less than --critical-days (" + std::to_string(out.criticalDays) +
                          ")");
    return std::nullopt;
}

// Now as days since 1970-01-01 on the local clock: runs are dated as their logs' headers give
// the time, in the post office's local time.
double LocalNowInDays() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return static_cast<double>(timegm(&local)) / 86400.0;
}

// "1 mailbox", "3 mailboxes"; "its" or "their" to go with the count.
std::string Mailboxes(std::size_t n) {
    return std::to_string(n) + (n == 1 ? " mailbox" : " mailboxes");
}
const char* Its(std::size_t n) {
    return n == 1 ? "its" : "their";
}
std::string Days(unsigned long n) {
    return std::to_string(n) + (n == 1 ? " day" : " days");
}

// The newest run of one post office and what the check found in it.
struct PostOfficeCheck {
    HistoryRun run;
    std::string name;  // as the line names it
    LimitStanding standing;
    std::optional<long> staleDays;  // whole days since the run, when over --max-age
    int state = kCheckOk;
};

int StateOf(const PostOfficeCheck& p) {
    const LimitStanding& s = p.standing;
    if (p.staleDays || s.bands.red > 0 || s.withinCritical > 0)
        return kCheckCritical;
    if (s.bands.amber > 0 || s.withinWarning > 0)
        return kCheckWarning;
    return kCheckOk;
}

// The post office's part of the line's text.
std::string TextOf(const PostOfficeCheck& p, const CheckOptions& o) {
    if (p.staleDays)
        return "last run of " + p.name + " " + Days(static_cast<unsigned long>(*p.staleDays)) +
               " ago";
    const LimitStanding& s = p.standing;
    if (p.state == kCheckOk)
        return Mailboxes(s.mailboxes) + " of " + p.name + ", none within " + Days(o.warningDays) +
               " of their limit";
    // Each count on its own: an amber mailbox may be near its limit as well.
    const bool critical = p.state == kCheckCritical;
    const std::size_t within = critical ? s.withinCritical : s.withinWarning;
    const unsigned long days = critical ? o.criticalDays : o.warningDays;
    std::string text;
    auto add = [&](std::size_t n, const std::string& what) {
        if (n == 0)
            return;
        text += text.empty() ? Mailboxes(n) + " of " + p.name : ", " + std::to_string(n);
        text += " " + what;
    };
    add(s.bands.red, std::string("at or over ") + Its(s.bands.red) + " limit");
    add(within, "within " + Days(days) + " of " + Its(within) + " limit");
    add(s.bands.amber, std::string("over ") + Its(s.bands.amber) + " warning threshold");
    return text;
}

// A label of the performance data: no single quote, equals sign or '|' in it.
std::string LabelOf(const std::string& prefix, const char* what) {
    if (prefix.empty())
        return what;
    std::string label = prefix + " " + what;
    std::replace_if(
        label.begin(), label.end(),
        [](char c) { return c == '\'' || c == '=' || c == '|' || c == '\n'; }, '_');
    return "'" + label + "'";
}

// The figure in the fewest digits that read back as it.
std::string FigureOf(double v) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
}

std::string PerfdataOf(const PostOfficeCheck& p, const std::string& prefix) {
    const LimitStanding& s = p.standing;
    std::string out;
    auto add = [&](const char* what, const std::string& value) {
        if (!out.empty())
            out += ' ';
        out += LabelOf(prefix, what);
        out += '=';
        out += value;
        out += ";;;";
    };
    add("red", std::to_string(s.bands.red));
    add("amber", std::to_string(s.bands.amber));
    add("green", std::to_string(s.bands.green));
    add("nolimit", std::to_string(s.bands.noLimit));
    add("mailboxes", std::to_string(s.mailboxes));
    add("total", FigureOf(s.totalMb) + "MB");
    return out;
}

// The reason of a store's error as one line: "cannot read STORE: ...".
std::string ReasonOf(const KestramaError& e, const std::string& store) {
    const std::string prefix = "kestrama32: ";
    std::string reason;
    for (const std::string& line : ErrorLines(e, store))
        reason += (reason.empty() ? "" : ", ") +
                  (line.starts_with(prefix) ? line.substr(prefix.size()) : line);
    return reason;
}

int Check(const CheckOptions& o) {
    std::vector<PostOfficeCheck> checks;
    try {
        const std::unique_ptr<HistoryStore> store = OpenExistingHistoryStore(o.location);
        if (!store)
            return Say(kCheckUnknown, "no history store: " + HistoryStoreShown(o.location));
        std::vector<HistoryRun> latest = store->LatestRuns();
        // By the texts as the runs hold them, whatever the database's collation.
        std::sort(latest.begin(), latest.end(), [](const HistoryRun& a, const HistoryRun& b) {
            return std::tie(a.poName, a.poPath) < std::tie(b.poName, b.poPath);
        });
        if (latest.empty())
            return Say(kCheckUnknown,
                       "the history holds no runs yet: " + HistoryStoreShown(o.location));
        for (const HistoryRun& r : latest)
            if ((!o.po || r.poName == *o.po) && (!o.poPath || r.poPath == *o.poPath))
                checks.push_back({r, r.poName, {}, std::nullopt, kCheckOk});
        if (checks.empty()) {
            // Named as the other commands name them: by name, with the path for namesakes.
            std::string held;
            for (const HistoryRun& r : latest) {
                const bool shared =
                    std::count_if(latest.begin(), latest.end(),
                                  [&r](const HistoryRun& q) { return q.poName == r.poName; }) > 1;
                held += (held.empty() ? "" : ", ") + r.poName +
                        (shared ? " (" + r.poPath + ")" : std::string());
            }
            std::string named = o.po ? *o.po : std::string();
            if (o.poPath)
                named += (o.po ? " (" : "(") + *o.poPath + ")";
            return Say(kCheckUnknown,
                       "the history holds no post office " + named + " (it holds " + held + ")");
        }
        const double now = LocalNowInDays();
        for (PostOfficeCheck& p : checks) {
            p.standing = StandingOf(*store, p.run, now, static_cast<double>(o.warningDays),
                                    static_cast<double>(o.criticalDays));
            const double age = now - DaysOfIso(p.run.processedAt).value_or(now);
            if (o.maxAge && std::floor(age) > static_cast<double>(*o.maxAge))
                p.staleDays = static_cast<long>(std::floor(age));
            p.state = StateOf(p);
            // Two post offices of one name are told apart by their paths.
            if (std::count_if(checks.begin(), checks.end(), [&p](const PostOfficeCheck& q) {
                    return q.run.poName == p.run.poName;
                }) > 1)
                p.name = p.run.poName + " (" + p.run.poPath + ")";
        }
    } catch (const KestramaError& e) {
        return Say(kCheckUnknown, ReasonOf(e, HistoryStoreShown(o.location)));
    } catch (const std::exception& e) {
        // Whatever fails, the monitoring system gets a state it knows.
        return Say(kCheckUnknown, e.what());
    }
    int state = kCheckOk;
    std::string text, perfdata;
    for (const PostOfficeCheck& p : checks) {
        state = std::max(state, p.state);
        text += (text.empty() ? "" : "; ") + TextOf(p, o);
        perfdata += (perfdata.empty() ? "" : " ") +
                    PerfdataOf(p, checks.size() > 1 ? p.name : std::string());
    }
    return Say(state, text, perfdata);
}

}  // namespace

int HistoryCheckCommand(const std::vector<std::string>& args) {
    CheckOptions o;
    if (const auto done = ParseCheckOptions(args, o))
        return *done;
    return Check(o);
}

}  // namespace k32
