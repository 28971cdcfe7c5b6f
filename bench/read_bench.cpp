// Reading a mailbox log in parts on threads against reading it in one pass, side by side in one
// run (not a test: it prints figures and judges nothing).
//
//   read_bench LOG [PARTS...]
//
// Reads LOG with the user reader of its version, best of three, once in one pass and once for
// each number of parts given (default: 2), and prints the times, the speed-up and whether the
// tables are the same. Then reads it in parts as a run does, with and without the scan for the
// log's text encoding, alternating, best of five each, and prints what the scan adds.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "logread/HeaderReader.h"
#include "logread/Keywords.h"
#include "logread/UserReaders.h"
#include "state/KeywordTable.h"
#include "state/ReadPlan.h"
#include "text/EncodingScan.h"

namespace {

using Clock = std::chrono::steady_clock;

k32::MailboxTable Read(const std::string& path, const k32::KeywordTable& kw, bool gw55,
                       unsigned parts, k32::EncodingEvidence* scan = nullptr) {
    k32::RunContext ctx;
    ctx.encodingSeen = scan;
    const k32::ReadPlan plan{parts, 8u << 20};
    return gw55 ? k32::ReadUsersGW55(ctx, path, kw, plan) : k32::ReadUsersGW6(ctx, path, kw, plan);
}

double BestOfThree(const std::string& path, const k32::KeywordTable& kw, bool gw55,
                   unsigned parts) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        const k32::MailboxTable table = Read(path, kw, gw55, parts);
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

bool SameTables(const k32::MailboxTable& a, const k32::MailboxTable& b) {
    if (a.Count() != b.Count())
        return false;
    for (std::uint32_t i = 1; i <= a.Count(); ++i)
        if (a.Get(i).field != b.Get(i).field)
            return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: read_bench LOG [PARTS...]\n");
        return 2;
    }
    const std::string path = argv[1];
    std::vector<unsigned> partCounts;
    for (int i = 2; i < argc; ++i)
        partCounts.push_back(static_cast<unsigned>(std::atoi(argv[i])));
    if (partCounts.empty())
        partCounts.push_back(2);

    k32::RunContext ctx;
    k32::KeywordTable kw = k32::EnglishKeywordTable();
    k32::RunSummary summary;
    const k32::LogHeader header = k32::ReadLogHeader(ctx, path, kw);
    k32::DetectLogLanguage(ctx, header, kw, summary);
    const bool gw55 = k32::ReadVersion(ctx, header, kw).view().substr(0, 3) == "5.5";

    const double one = BestOfThree(path, kw, gw55, 1);
    const k32::MailboxTable reference = Read(path, kw, gw55, 1);
    std::printf("one pass:        %.3f s, %u mailboxes\n", one, reference.Count());
    for (unsigned parts : partCounts) {
        const double t = BestOfThree(path, kw, gw55, parts);
        const bool same = SameTables(reference, Read(path, kw, gw55, parts));
        std::printf("%u parts:         %.3f s, %.2fx faster, tables %s\n", parts, t, one / t,
                    same ? "the same" : "DIFFER");
    }

    // The encoding scan, with the parts of a run, alternating so that both see the same machine.
    const unsigned runParts = k32::DefaultReadPlan().parts;
    double without = 1e9, with = 1e9;
    k32::EncodingEvidence seen;
    for (int i = 0; i < 5; ++i) {
        auto start = Clock::now();
        Read(path, kw, gw55, runParts);
        without = std::min(without, std::chrono::duration<double>(Clock::now() - start).count());
        start = Clock::now();
        Read(path, kw, gw55, runParts, &seen);
        with = std::min(with, std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::printf("%u parts, no encoding scan: %.3f s\n", runParts, without);
    std::printf("%u parts, encoding scan:    %.3f s, %+.3f s, ratio %.3f, log is %s\n", runParts,
                with, with - without, with / without,
                seen.Encoding() == k32::TextEncoding::Utf8 ? "UTF-8" : "Windows-1252");
    return 0;
}
