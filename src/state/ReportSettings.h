#pragma once
// The one set of user-adjustable values that every run reads. The model validates nothing:
// values outside their lists are stored unchanged, and each user says what they do.

#include <array>
#include <cstdint>
#include <string>

#include "text/Text.h"

namespace k32 {

// One report column: the field it shows ("0" Username ... "9" UID) and in which reports.
struct ColumnSlot {
    Text ColumnFieldCode;
    bool html = false;
    bool csv = false;
};

inline constexpr std::size_t kColumnSlots = 10;

struct ReportSettings {
    std::uint8_t Sort = 5;  // 0 Username, 1 Fullname, 2 Inbox, 3 Outbox, 4 Wastebin, 5 Size, 6 UID
    std::uint8_t SortDir = 1;    // 0 Ascending, 1 Descending
    std::uint8_t DebugMode = 0;  // 0 Disk / Screen, 1 Disk only, 2 Screen only, 3 Off
    Text CSVSeperator = ";";
    Text DECSeperator = ".";  // digit-group separator of the web reports
    Text CSVHeader;           // "Header", "Footer" or "Disabled"
    std::array<ColumnSlot, kColumnSlots> columns;
    std::uint32_t TOP = 0;       // 0: no limit
    std::uint32_t TOPVALUE = 0;  // 0: off
    Text InputPath;
    Text OutputBasePath;
    // Keeping history: the run is recorded in the history store, and the trend reports are
    // written beside the two reports. An empty HistoryFile is the default store file.
    bool KeepHistory = false;
    std::string HistoryFile;
};

// Every field to its default; the two paths are not touched.
void SetDefaultSettings(ReportSettings& s);

// The history settings the window starts with: history kept, in the default store. A batch run
// keeps history only when its command line asks for it.
void SetDefaultHistorySettings(ReportSettings& s);

}  // namespace k32
