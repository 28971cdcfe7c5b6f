#pragma once
// One user or expire reader on outside bytes. The first byte picks the keyword set (English,
// German, French) the way a detected language would; the rest is the log.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "logread/ExpireReader.h"
#include "logread/Keywords.h"
#include "logread/UserReaders.h"
#include "state/Records.h"
#include "state/RunContext.h"
#include "text/Errors.h"

namespace k32::fuzz {

// The log written from the input, and the keyword set its first byte picks.
struct ReaderInput {
    ReaderInput(const std::uint8_t* data, std::size_t size)
        : path(WriteInput(data + 1, size - 1)), kw(EnglishKeywordTable()) {
        RunContext ctx;
        switch (data[0] % 3) {
            case 1:
                LoadGermanKeywords(ctx, kw, summary);
                break;
            case 2:
                LoadFrenchKeywords(ctx, kw, summary);
                break;
            default:
                LoadEnglishKeywords(ctx, kw, summary);
        }
    }
    std::string path;
    KeywordTable kw;
    RunSummary summary;
};

// Reads every counted record back: the count never passes the table, and no record holds more
// than its fields can.
template <std::size_t N>
void CheckRecords(const RecordTable<N>& table) {
    std::size_t bytes = 0;
    for (std::uint32_t i = 1; i <= table.Count(); ++i)
        for (std::string_view field : table.Get(i).field)
            bytes += field.size();
    if (bytes > 255u * N * table.Count())
        Fail("a record holds more than its fields can");
}

// What one read of a mailbox reader gives: the records (or the error) and the Log tab's lines,
// without their time stamps.
struct MailboxRead {
    std::vector<std::string> fields;  // every field of every record, in order
    std::vector<std::string> lines;
    std::string error;

    bool operator==(const MailboxRead&) const = default;
};

inline MailboxRead ReadMailboxes(const ReaderInput& in, UserLineKind kind, const ReadPlan& plan) {
    MailboxRead r;
    RunContext ctx;
    ctx.windowMode = true;
    ctx.debugMode = 2;  // debug lines to the screen only
    ctx.screenLine = [&r](std::string_view line) {
        const auto at = line.find(" ; ");
        r.lines.emplace_back(at == std::string_view::npos ? line : line.substr(at + 3));
    };
    try {
        const MailboxTable table = kind == UserLineKind::GW6
                                       ? ReadUsersGW6(ctx, in.path, in.kw, plan)
                                       : ReadUsersGW55(ctx, in.path, in.kw, plan);
        CheckRecords(table);
        for (std::uint32_t i = 1; i <= table.Count(); ++i)
            for (std::string_view field : table.Get(i).field)
                r.fields.emplace_back(field);
    } catch (const KestramaError& e) {
        // A log that cannot be read, or a figure that is not a number: the run's own error.
        r.error = std::string(e.what()) + " at " + e.where;
    }
    return r;
}

// A mailbox reader in one pass, and in three parts read side by side: both give the same
// records, lines and error.
inline void RunMailboxReader(const std::uint8_t* data, std::size_t size, UserLineKind kind) {
    if (size == 0)
        return;
    const ReaderInput in(data, size);
    const MailboxRead whole = ReadMailboxes(in, kind, ReadPlan{1, 1});
    if (ReadMailboxes(in, kind, ReadPlan{3, 1}) != whole)
        Fail("reading in parts differs from reading in one pass");
}

inline void RunExpireReader(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return;
    ReaderInput in(data, size);
    RunContext ctx;
    LogHeader header;
    try {
        CheckRecords(RunExpReport3(ctx, in.path, in.kw, header, in.summary));
    } catch (const KestramaError&) {
        // A log that cannot be read, or a figure that is not a number: the run's own error.
    }
}

}  // namespace k32::fuzz
