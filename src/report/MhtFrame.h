#pragma once
// The frame both web reports share: the MIME header, the HTML page with its banner, General
// Information table and footer, and the two image parts. A report writes the frame's top, its
// own rows, then the frame's bottom.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "state/Records.h"
#include "state/ReportSettings.h"
#include "state/RunContext.h"

namespace k32 {

class LineWriter;
class PendingFiles;

// The maker's and the mail system vendor's web addresses, and the two attributions.
inline constexpr std::string_view kMakerWebAddress = "https://kestrama.example.org/";
inline constexpr std::string_view kVendorWebAddress = "https://www.novell.com/products/groupwise/";
inline constexpr std::string_view kShortAttribution = "32 by the Kestrama team";
inline constexpr std::string_view kBannerAttribution = "made by the Kestrama team";

// What one report puts into the frame.
struct MhtFrame {
    std::string_view tableWidth;             // "900", or "600" for a GroupWise 5.5 mailbox report
    std::string_view sortFieldName;          // for "Tabel sorted by field"
    std::uint32_t count = 0;                 // records the run counted
    std::uint32_t rows = 0;                  // records the report lists
    std::vector<std::string_view> captions;  // the table's header cells
};

// A frame of width 900 for a table of `count` records of which the report lists `rows`.
MhtFrame NewMhtFrame(std::uint32_t count, std::uint32_t rows);

// Digits grouped by threes from the right with the separator: 1234567 with "." gives 1.234.567;
// texts of fewer than four characters are unchanged. A leading sign stays outside the groups.
std::string GroupDigits(std::string_view digits, std::string_view separator);
void AppendGroupedDigits(std::string& out, std::string_view digits, std::string_view separator);

// A path as the report's file URLs use it: unchanged, cut to 255 characters (the folder
// separator is "/" already).
std::string SlashPath(std::string_view path);

// The image part lines of a report whose images lie in `outputFolder`: the two image parts
// (banner, badge) and the closing delimiter.
std::vector<std::string> BuildImageParts(std::string_view outputFolder);

// The one skeleton of both web reports: the progress and debug lines that start and end a
// report, the frame's top, the report's own rows (written by `writeRows`), and the frame's
// bottom with the image parts. The finished file goes to `pending`. Raises the input/output
// error.
void StageMhtReport(RunContext& ctx, const RunSummary& summary, const ReportSettings& settings,
                    const MhtFrame& frame, const std::function<void(LineWriter&)>& writeRows,
                    PendingFiles& pending);

// Everything up to and including the table's header row.
void WriteMhtTop(LineWriter& out, const RunSummary& summary, std::string_view groupSeparator,
                 const MhtFrame& frame);
// One table cell: the alignment word and the text (encoded here).
void WriteMhtCell(LineWriter& out, std::string_view alignment, std::string_view text);
// From the end of the table through the image parts.
void WriteMhtBottom(LineWriter& out, const MhtFrame& frame,
                    const std::vector<std::string>& imagePartLines);

}  // namespace k32
