// Which encoding a log's bytes are in: UTF-8 only when every non-ASCII byte belongs to a valid
// sequence and at least one such sequence occurs, whether the bytes come in one block, split
// anywhere between blocks, or through the line reader of each part of a log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "logread/LineReader.h"
#include "text/EncodingScan.h"

using namespace k32;
using namespace k32::test;

namespace {

constexpr auto W = TextEncoding::Windows1252;
constexpr auto U = TextEncoding::Utf8;

struct ScanCase {
    const char* what;
    std::string bytes;
    TextEncoding expected;
};

const std::string kLine = "  Checking user = ANNA     (a1x)   2311040 bytes (Anna ";

std::vector<ScanCase> ScanCases() {
    return {
        {"nothing", "", W},
        {"ASCII only", kLine + "Morgan)\r\n", W},
        {"two-byte sequences", kLine + "M\xc3\xbcller, \xc5\x81ukasz)\r\n", U},
        {"a three-byte sequence", kLine + "\xe2\x82\xac)\r\n", U},
        {"a four-byte sequence", kLine + "\xf0\x9f\x98\x80)\r\n", U},
        {"the last code points before the surrogates and of all", "\xed\x9f\xbf \xf4\x8f\xbf\xbf",
         U},
        {"a Windows-1252 name", kLine + "M\xfcller)\r\n", W},
        {"one invalid byte at the very end", kLine + "M\xc3\xbcller)\r\n\xfc", W},
        {"a sequence cut off by the end", kLine + "M\xc3\xbcller)\r\n\xc5", W},
        {"a three-byte sequence cut off by the end", "M\xc3\xbcller \xe2\x82", W},
        {"a lead byte before ASCII",
         "\xc3\xbc \xc3"
         "A",
         W},
        {"a stray continuation byte", "\xc3\xbc \x80", W},
        {"an overlong two-byte form", "\xc3\xbc \xc0\xaf", W},
        {"an overlong three-byte form", "\xc3\xbc \xe0\x80\xaf", W},
        {"an overlong four-byte form", "\xc3\xbc \xf0\x80\x80\xaf", W},
        {"a surrogate", "\xc3\xbc \xed\xa0\x80", W},
        {"past U+10FFFF", "\xc3\xbc \xf4\x90\x80\x80", W},
        {"a lead byte that starts nothing", "\xc3\xbc \xf5\x80\x80\x80", W},
        {"a sequence after a long ASCII run",
         std::string(37, 'a') + "\xc3\xa4" + std::string(20, 'b'), U},
    };
}

TextEncoding ScanOf(const std::vector<std::string_view>& blocks) {
    Utf8Scan scan;
    for (std::string_view b : blocks)
        scan.Feed(b);
    scan.End();
    return scan.Encoding();
}

// A log file read whole by line readers over `cuts` (each a part's start), as the readers of a
// run read it, and the encoding their scans add up to.
TextEncoding ReadInParts(const std::string& path, const std::vector<std::uint64_t>& cuts) {
    EncodingEvidence seen;
    for (std::size_t i = 0; i < cuts.size(); ++i) {
        LineReader reader(path, 255, cuts[i], i + 1 < cuts.size() ? cuts[i + 1] : UINT64_MAX);
        reader.ScanEncodingInto(&seen);
        std::string_view line;
        while (reader.Next(line)) {
        }
    }
    return seen.Encoding();
}

}  // namespace

TEST(EncodingScan, ByteCasesInOneBlockAndSplitAnywhere) {
    for (const ScanCase& c : ScanCases()) {
        EXPECT_EQ(ScanOf({c.bytes}), c.expected) << c.what;
        // Cut into two blocks at every place, a sequence split between them included.
        const std::string_view all(c.bytes);
        for (std::size_t at = 0; at <= all.size(); ++at)
            ASSERT_EQ(ScanOf({all.substr(0, at), all.substr(at)}), c.expected)
                << c.what << ", cut at " << at;
    }
}

// The line reader reads a megabyte at a time: a sequence across that boundary is still one.
// The parts of a log are scanned each on their own and each ends at a line start, so a sequence
// across a part boundary is never a sequence.
TEST(EncodingScan, TheLineReaderScansEveryByteOfEveryPart) {
    TempDir dir;
    const std::string path = dir / "gwcheck.log";
    const std::size_t block = 1 << 20;
    std::string log(block - 1, 'a');
    for (std::size_t i = 99; i < log.size(); i += 100)
        log[i] = '\n';
    log += "\xc3\xbc\n";  // across the first block's end
    log += "M\xfc\n";
    WriteFile(path, log);
    EXPECT_EQ(ReadInParts(path, {0}), W);  // the Windows-1252 byte after the first block counts
    log.resize(log.size() - 3);
    WriteFile(path, log);
    EXPECT_EQ(ReadInParts(path, {0}), U);
    EXPECT_EQ(ReadInParts(path, {0, 600, block - 100}), U);
    // A part that begins inside a sequence.
    EXPECT_EQ(ReadInParts(path, {0, block}), W);
    // A reader that is not asked to scan adds nothing.
    EncodingEvidence none;
    EXPECT_EQ(none.Encoding(), W);
}
