#pragma once
// The one table of the mailbox fields as every part of the program names them: the column code
// of the report settings, the captions of the reports, of the Settings tab and of the result
// grid, the names of the field as a sort field and whether it sorts as a number. Everything that
// lists columns or sort fields, or asks how a sort field compares, reads it from here.

#include <array>
#include <cstddef>
#include <string_view>

#include "state/Records.h"

namespace k32 {

struct ColumnInfo {
    MailboxField field;
    char code;                       // the column code of the report settings, '0'..'9'
    std::string_view caption;        // CSV and mailbox web report
    std::string_view expireCaption;  // expire web report
    std::string_view settingsName;   // the Settings tab's column lists
    std::string_view gridCaption;    // the result grid
    int gridColumn;                  // 1..10 (column 0 of the grid is the row number)
    bool alignLeft;                  // web report cells: LEFT, or RIGHT
    bool groupDigits;                // web report cells: digits grouped by threes
    bool inGroupWise55;              // a GroupWise 5.5 log fills it
    // As a sort field (0..6, the record field's own number), or -1 when it is none.
    int sortField;
    // As a sort field: compared as numbers (and open to the above value), else as upper-case
    // text. The UID is text.
    bool sortsAsNumber;
    std::string_view sortName;        // web report "Tabel sorted by field", the Settings tab
    std::string_view expireSortName;  // expire web report
    std::string_view sortCaption;     // the debug line when sorting
};

inline constexpr std::size_t kSortFields = 7;

// In record field order.
inline constexpr std::array<ColumnInfo, kMailboxFields> kColumns = {{
    {kUserName, '0', "Username", "Username", "Username", "UserName", 1, true, false, true, 0, false,
     "Username", "Username", "Sorting by Username"},
    {kFullName, '1', "Fullname", "Fullname", "Fullname", "FullName", 2, true, false, false, 1,
     false, "Fullname", "Fullname", "Sorting by Fullname"},
    {kInbox, '3', "Inbox", "Size TASK", "Inbox", "Inbox", 3, false, true, true, 2, true, "Inbox",
     "Size Mail", "Sorting by Inbox"},
    {kOutbox, '4', "Outbox", "Size APPT", "Outbox", "OutBox", 4, false, true, true, 3, true,
     "Outbox", "Size Task", "Sorting by Outbox"},
    {kWastebasket, '5', "Wastebin", "Wastebin", "Wastebin", "WasteBin", 5, false, true, true, 4,
     true, "Wastebin", "Size Appt", "Sorting by Wastebin"},
    {kSize, '2', "Size (MB)", "Size MAIL", "Size", "SIZE", 7, false, true, true, 5, true, "Size",
     "Size", "Sorting by Size"},
    {kUid, '9', "UID", "UID", "UID", "UID", 6, false, false, true, 6, false, "UID", "UID",
     "Sorting by UID"},
    {kSizeLimit,
     '6',
     "Sizelimit (MB)",
     "Sizelimit (MB)",
     "Sizelimit",
     "SizeLimit",
     8,
     false,
     true,
     false,
     -1,
     false,
     {},
     {},
     {}},
    {kThreshold,
     '7',
     "Threshold",
     "Threshold",
     "Threshold",
     "Threshold",
     9,
     false,
     false,
     false,
     -1,
     false,
     {},
     {},
     {}},
    {kExceeded,
     '8',
     "Exceeded",
     "Exceeded",
     "Exceeded",
     "Exceeded",
     10,
     false,
     false,
     false,
     -1,
     false,
     {},
     {},
     {}},
}};

// The index 0..9 of a column code "0".."9", or -1 for any other text.
constexpr int CodeIndex(std::string_view code) {
    return code.size() == 1 && code[0] >= '0' && code[0] <= '9' ? code[0] - '0' : -1;
}

// The column of a code "0".."9", or nullptr for any other text.
constexpr const ColumnInfo* ColumnOfCode(std::string_view code) {
    const int i = CodeIndex(code);
    if (i < 0)
        return nullptr;
    for (const ColumnInfo& c : kColumns)
        if (c.code == '0' + i)
            return &c;
    return nullptr;
}

// The column of code index 0..9.
constexpr const ColumnInfo& ColumnOfCodeIndex(int index) {
    return *ColumnOfCode(std::string_view(&"0123456789"[index], 1));
}

// The column of sort field 0..6, or nullptr for any other number.
constexpr const ColumnInfo* ColumnOfSortField(int sortField) {
    for (const ColumnInfo& c : kColumns)
        if (c.sortField >= 0 && c.sortField == sortField)
            return &c;
    return nullptr;
}

// True when sort field 0..6 is compared as numbers (Inbox, Outbox, Wastebin, Size): the sort,
// the above value of the totals and the Settings tab ask here.
constexpr bool IsNumberSortField(int sortField) {
    const ColumnInfo* c = ColumnOfSortField(sortField);
    return c != nullptr && c->sortsAsNumber;
}

// The column shown in result grid column 1..10.
constexpr const ColumnInfo& ColumnOfGridColumn(int gridColumn) {
    for (const ColumnInfo& c : kColumns)
        if (c.gridColumn == gridColumn)
            return c;
    return kColumns[0];
}

}  // namespace k32
