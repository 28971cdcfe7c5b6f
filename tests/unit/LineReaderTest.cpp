// Reading a log line by line: line ends, the 255-byte cut, lines longer than the read buffer,
// passing over lines without keywords, and line numbers for error messages.

#include <gtest/gtest.h>

#include <random>

#include "TestSupport.h"
#include "logread/LineReader.h"
#include "text/Errors.h"
#include "text/KeywordSearcher.h"
#include "text/TextHelpers.h"

using namespace k32;
using namespace k32::test;

namespace {

constexpr std::size_t kCap = 255;
constexpr std::size_t kMiB = 1 << 20;

std::vector<std::string> ReadAll(const std::string& path, std::size_t cap = kCap) {
    LineReader reader(path, cap);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.Next(line))
        lines.emplace_back(line);
    return lines;
}

std::vector<std::string> ReadBytes(const std::string& bytes, std::size_t cap = kCap) {
    TempDir dir;
    WriteFile(dir / "log", bytes);
    return ReadAll(dir / "log", cap);
}

// The lines of a file as the line rules say, built the slow and obvious way: split at LF, drop
// one CR before the LF, keep text after the last LF, cut each line to the cap.
std::vector<std::string> ExpectedLines(const std::string& bytes, std::size_t cap = kCap) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t lf = bytes.find('\n', start);
        std::string line;
        if (lf == std::string::npos) {
            line = bytes.substr(start);
            start = bytes.size();
        } else {
            line = bytes.substr(start, lf - start);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            start = lf + 1;
        }
        lines.push_back(line.substr(0, cap));
    }
    return lines;
}

struct LineEndCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
};

class LineEnds : public ::testing::TestWithParam<LineEndCase> {};

TEST_P(LineEnds, SplitAsTheLineRulesSay) {
    EXPECT_EQ(ReadBytes(GetParam().bytes), GetParam().lines);
    EXPECT_EQ(ExpectedLines(GetParam().bytes), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineEnds,
    ::testing::Values(
        LineEndCase{"Lf", "a\nb\n", {"a", "b"}}, LineEndCase{"CrLf", "a\r\nb\r\n", {"a", "b"}},
        LineEndCase{"LoneCrIsAByte", "a\rb\n", {"a\rb"}},
        LineEndCase{"LoneCrAtTheEnd", "a\r", {"a\r"}},
        LineEndCase{"OnlyOneCrIsDropped", "a\r\r\n", {"a\r"}},
        LineEndCase{"TextAfterTheLastLf", "a\nb", {"a", "b"}},
        LineEndCase{"NoLineEndAtAll", "single", {"single"}}, LineEndCase{"EmptyFile", "", {}},
        LineEndCase{"OneEmptyLine", "\n", {""}},
        LineEndCase{"EmptyLines", "\r\n\r\n\n", {"", "", ""}},
        LineEndCase{"NulBytes",
                    std::string("a\0b\n\0\n", 6),
                    {std::string("a\0b", 3), std::string(1, '\0')}},
        LineEndCase{"Exactly255", std::string(255, 'x') + "\n", {std::string(255, 'x')}},
        LineEndCase{
            "LongLineCut", std::string(256, 'x') + "\r\nnext\n", {std::string(255, 'x'), "next"}},
        LineEndCase{"LongLastLineCut", std::string(300, 'y'), {std::string(255, 'y')}},
        LineEndCase{"CrBeyondTheCut", std::string(255, 'z') + "\r\n", {std::string(255, 'z')}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineReader, LinesLongerThanTheReadBufferAreCutAndSkipped) {
    std::string bytes = "before\r\n" + std::string(3 * kMiB + 17, 'L') + "\r\nafter\r\n" +
                        std::string(kMiB, 'M') + "\nend";
    EXPECT_EQ(ReadBytes(bytes), (std::vector<std::string>{"before", std::string(255, 'L'), "after",
                                                          std::string(255, 'M'), "end"}));
    // A last line of more than the buffer without a line end.
    EXPECT_EQ(ReadBytes("x\n" + std::string(2 * kMiB, 'N')),
              (std::vector<std::string>{"x", std::string(255, 'N')}));
}

TEST(LineReader, ManyLinesAcrossReadBlocks) {
    std::string bytes;
    for (int i = 0; i < 300000; ++i)
        bytes += "line number " + std::to_string(i) + (i % 3 ? "\r\n" : "\n");
    bytes += "last";
    ASSERT_GT(bytes.size(), 4 * kMiB);
    EXPECT_EQ(ReadBytes(bytes), ExpectedLines(bytes));
}

TEST(LineReader, MissingFileRaisesFileNotFound) {
    TempDir dir;
    try {
        LineReader reader(dir / "nothing.log", kCap);
        FAIL() << "no error";
    } catch (const KestramaError& e) {
        EXPECT_EQ(e.kind, ErrorKind::InputOutput);
        EXPECT_STREQ(e.what(), "File not found");
        EXPECT_EQ(e.where, dir / "nothing.log");
    }
}

TEST(LineReader, LineNumberCountsTheLinesReturned) {
    TempDir dir;
    WriteFile(dir / "log", "one\r\n\r\n" + std::string(2 * kMiB, 'x') + "\r\nfour\nfive");
    LineReader reader(dir / "log", kCap);
    EXPECT_EQ(reader.LineNumber(), 0u);
    std::string_view line;
    for (std::uint64_t n = 1; n <= 5; ++n) {
        ASSERT_TRUE(reader.Next(line));
        EXPECT_EQ(reader.LineNumber(), n);
    }
    EXPECT_FALSE(reader.Next(line));
}

// NextWith is checked against the plain way: read every line, upper-case it, look for each
// keyword.
struct Hit {
    std::string line;
    std::uint32_t found;
    std::uint64_t number;
    bool operator==(const Hit&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Hit& h) {
    return os << "#" << h.number << " bits " << h.found << " '" << h.line.substr(0, 60) << "'";
}

std::vector<Hit> HitsOf(const std::string& bytes, const std::vector<std::string_view>& keywords) {
    std::vector<Hit> hits;
    std::uint64_t number = 0;
    std::string upper;
    for (const std::string& line : ExpectedLines(bytes)) {
        ++number;
        UpperCaseInto(line, upper);
        std::uint32_t found = 0;
        for (std::size_t k = 0; k < keywords.size(); ++k)
            if (upper.find(keywords[k]) != std::string::npos)
                found |= 1u << k;
        if (found)
            hits.push_back({line, found, number});
    }
    return hits;
}

std::vector<Hit> NextWithHits(const std::string& path,
                              const std::vector<std::string_view>& keywords, bool withSample) {
    LineReader reader(path, kCap);
    KeywordSetSearcher searcher(keywords, withSample ? reader.Peek() : std::string_view());
    std::vector<Hit> hits;
    std::string_view line;
    std::uint32_t found = 0;
    while (reader.NextWith(searcher, line, found))
        hits.push_back({std::string(line), found, reader.LineNumber()});
    return hits;
}

const std::vector<std::string_view> kBlockWords = {"CHECKING USER = ", "KBYTES IN USE BY USER",
                                                   "USER STATS:", "PROBLEM 89",
                                                   "AKTUELLE GR\xF6\xDF"
                                                   "E"};

TEST(LineReaderNextWith, PassesOverLinesWithoutKeywords) {
    TempDir dir;
    const std::string bytes = CrLf({
        "header line",
        "  Checking user = JSMITH (abc)",
        "  User stats:  12 InBox",
        "nothing here",
        "      2048 kbytes in use by user's mail",
        // The keyword starts inside the first 255 bytes but ends after them: no hit.
        std::string(250, '.') + "Problem 89",
        // Past the cut: no hit.
        std::string(300, '.') + "Checking user = LATE",
        "  Aktuelle Gr\xF6\xDF"
        "e: 12KB",
        // A capital umlaut is not the keyword's small one.
        "  Aktuelle GR\xD6\xDF"
        "E: 12KB",
        "problem 89 and user stats: together",
    });
    WriteFile(dir / "log", bytes);
    const std::vector<Hit> expected = {
        {"  Checking user = JSMITH (abc)", 1, 2},
        {"  User stats:  12 InBox", 4, 3},
        {"      2048 kbytes in use by user's mail", 2, 5},
        {"  Aktuelle Gr\xF6\xDF"
         "e: 12KB",
         16, 8},
        {"problem 89 and user stats: together", 12, 10},
    };
    EXPECT_EQ(HitsOf(bytes, kBlockWords), expected);
    EXPECT_EQ(NextWithHits(dir / "log", kBlockWords, false), expected);
    EXPECT_EQ(NextWithHits(dir / "log", kBlockWords, true), expected);
}

TEST(LineReaderNextWith, MixesWithNextAndFindsKeywordsInHugeLines) {
    TempDir dir;
    WriteFile(dir / "log", "a\nPROBLEM 89 " + std::string(2 * kMiB, 'x') + "\nb\n" +
                               std::string(2 * kMiB, 'y') + "PROBLEM 89\nc problem 89");
    LineReader reader(dir / "log", kCap);
    KeywordSetSearcher searcher({"PROBLEM 89"});
    std::string_view line;
    std::uint32_t found = 0;
    ASSERT_TRUE(reader.Next(line));
    EXPECT_EQ(line, "a");
    ASSERT_TRUE(reader.NextWith(searcher, line, found));
    EXPECT_EQ(line, "PROBLEM 89 " + std::string(244, 'x'));
    EXPECT_EQ(reader.LineNumber(), 2u);
    ASSERT_TRUE(reader.Next(line));
    EXPECT_EQ(line, "b");
    // The keyword in the huge line lies past the cut and does not count.
    ASSERT_TRUE(reader.NextWith(searcher, line, found));
    EXPECT_EQ(line, "c problem 89");
    EXPECT_EQ(reader.LineNumber(), 5u);
    EXPECT_FALSE(reader.NextWith(searcher, line, found));
    EXPECT_FALSE(reader.Next(line));
}

// Random logs of a few megabytes: short and long lines, both line ends, lone CRs, keywords in
// any letter case at any place, some past the cut, some lines longer than the read buffer.
TEST(LineReaderNextWith, AgreesWithThePlainSearchOnRandomLogs) {
    std::mt19937 rng(20240611);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const std::string filler = "abcdefgxyz ABC:=-()\\.,0123456789\t\r\xE4\xF6\xDF\xE9";
    for (int round = 0; round < 4; ++round) {
        std::string bytes;
        while (bytes.size() < 3 * kMiB) {
            int kind = pick(1000);
            std::size_t length = kind < 5     ? kMiB + static_cast<std::size_t>(pick(200000))
                                 : kind < 100 ? 255 + static_cast<std::size_t>(pick(200)) - 100
                                              : static_cast<std::size_t>(pick(90));
            std::string line;
            for (std::size_t i = 0; i < length; ++i)
                line += filler[static_cast<std::size_t>(pick(static_cast<int>(filler.size())))];
            if (pick(4) == 0) {
                std::string word(kBlockWords[static_cast<std::size_t>(
                    pick(static_cast<int>(kBlockWords.size())))]);
                for (char& c : word)
                    if (c >= 'A' && c <= 'Z' && pick(2))
                        c = static_cast<char>(c + 32);
                line.insert(static_cast<std::size_t>(pick(static_cast<int>(line.size()) + 1)),
                            word);
            }
            bytes += line + (pick(2) ? "\r\n" : "\n");
        }
        if (round % 2)
            bytes += "tail without line end, checking user = X";
        TempDir dir;
        WriteFile(dir / "log", bytes);
        const std::vector<Hit> expected = HitsOf(bytes, kBlockWords);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(NextWithHits(dir / "log", kBlockWords, false), expected) << "round " << round;
        EXPECT_EQ(NextWithHits(dir / "log", kBlockWords, true), expected) << "round " << round;
    }
}

}  // namespace
