#include "logread/ExpireReader.h"

#include <cstdint>
#include <string>

#include "logread/HeaderReader.h"
#include "logread/Keywords.h"
#include "logread/LineReader.h"
#include "state/DebugLog.h"
#include "state/StopCheck.h"
#include "text/Convert.h"
#include "text/Errors.h"
#include "text/TextHelpers.h"

namespace k32 {

namespace {

constexpr std::string_view kColumnHeaderGW5 =
    "User/FID/DiskID          #recs Highest Deleted Setup  Size of database";
constexpr std::string_view kColumnHeaderGW6 =
    "Userid    (FID / DiskID)  #recs Highest Deleted  Setup DB Size (bytes)  (Name [Dept])";
constexpr std::string_view kRuleLine =
    "------ ---------------- ---------------- -------------- ---------------";
constexpr std::string_view kTaskLogMarker = "===== TASK LOG - 1 ";
// Expire lines are read whole; this only bounds what a malformed log can make us hold.
constexpr std::size_t kExpireLineCap = 64 * 1024;

// Where the reader stands in the log.
enum class ExpireState { BeforeTable = 1, BetweenUsers = 2, AtRule = 3, InRows = 4 };

struct Sums {
    std::int64_t mail = 0, task = 0, appt = 0;
};

}  // namespace

bool IsExpireUserLine(std::string_view upper, bool groupWise5) {
    const std::string_view pattern = groupWise5 ? "(-)-()" : "(/)()([])";
    std::size_t k = 0;
    for (char c : upper) {
        if (c == pattern[k])
            ++k;
        if (k + 1 == pattern.size())
            return true;
    }
    return false;
}

ExpireTable RunExpReport3(RunContext& ctx, const std::string& path, KeywordTable& kw,
                          LogHeader& header, RunSummary& summary) {
    ExpireTable table;
    std::uint32_t count = 0;
    Sums sums;
    ExpireState st = ExpireState::BeforeTable;

    header = ReadLogHeader(ctx, path, kw);
    DetectLogLanguage(ctx, header, kw, summary);
    summary.versionText = ReadVersion(ctx, header, kw);
    summary.groupWise5 = IsGroupWise5(summary.versionText.view());
    const bool gw5 = summary.groupWise5;
    AddProgressLine(ctx, "Start RunExpReport3: " + summary.versionText.str());
    Text headerUpper = UpperCaseText(gw5 ? kColumnHeaderGW5 : kColumnHeaderGW6);
    const std::string_view columnHeader = TrimControls(headerUpper.view());

    ExpireRecord work;  // reused from user to user
    std::string currentUser;
    LineReader reader(path, kExpireLineCap);
    reader.CountBytesInto(ctx.bytesRead);
    reader.ScanEncodingInto(ctx.encodingSeen);
    std::string_view line;
    std::string upper;
    try {
        while (reader.Next(line)) {
            ThrowIfStopped(ctx);
            UpperCaseInto(line, upper);
            if (!gw5) {
                if (auto k = kw.Find(KwKbytesInUse, upper); k > 0) {
                    std::int32_t kb = StrToInt32(TrimControls(Copy(line, 1, k - 1)));
                    work[1] = IntToText(kb / 1024);
                }
            }
            if (st != ExpireState::BeforeTable && IsExpireUserLine(upper, gw5)) {
                ++count;
                work[6] = currentUser;
                auto open = Pos('(', upper);
                currentUser = std::string(TrimControls(open > 0 ? Copy(line, 1, open - 1) : line));
                work[0] = currentUser;
                work[1] = currentUser;
            }
            if (st == ExpireState::BeforeTable && TrimControls(upper) == columnHeader) {
                AddProgressLine(ctx, "Joepie, stap1.");
                st = ExpireState::BetweenUsers;
            }
            if (st == ExpireState::BeforeTable && Pos(kTaskLogMarker, upper) > 0) {
                AddProgressLine(ctx, "Joepie, stap1..");
                st = ExpireState::BetweenUsers;
            }
            if (st != ExpireState::BeforeTable && Pos(kRuleLine, upper) > 0)
                st = ExpireState::AtRule;
            if (st == ExpireState::AtRule) {
                st = ExpireState::InRows;
                sums = Sums{};
            }
            if (st == ExpireState::InRows && upper.empty()) {
                // The user's rows are over: bytes become whole megabytes.
                sums.mail /= 1048576;
                sums.task /= 1048576;
                sums.appt /= 1048576;
                if (ProgressLinesShown(ctx))
                    AddProgressLine(
                        ctx, "Totals: " + work[0].str() + " ==> " + std::to_string(sums.mail) +
                                 " : " + std::to_string(sums.task) + " : " +
                                 std::to_string(sums.appt) + " :: " + std::to_string(count));
                work[2] = IntToText(sums.mail);
                work[3] = IntToText(sums.task);
                work[4] = IntToText(sums.appt);
                table.Store(work, count);
                st = ExpireState::BetweenUsers;
            } else if (st == ExpireState::InRows) {
                const std::string_view type = Copy(upper, 1, 4);
                std::int64_t* sum = type == "MAIL"   ? &sums.mail
                                    : type == "TASK" ? &sums.task
                                    : type == "APPT" ? &sums.appt
                                                     : nullptr;
                if (sum)
                    *sum += StrToInt32(DigitsOnly(Copy(line, 57, 9)).view());
            }
        }
    } catch (KestramaError& e) {
        if (e.where.empty())
            e.where = reader.Path() + ", line " + std::to_string(reader.LineNumber());
        throw;
    }
    table.SetCount(count);
    AddProgressLine(ctx, "End runexp3");
    return table;
}

}  // namespace k32
