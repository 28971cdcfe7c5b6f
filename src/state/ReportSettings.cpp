#include "state/ReportSettings.h"

#include <string>

namespace k32 {

void SetDefaultSettings(ReportSettings& s) {
    s.Sort = 5;
    s.SortDir = 1;
    s.DebugMode = 1;
    s.CSVSeperator = ";";
    s.DECSeperator = ".";
    s.CSVHeader = "Header";
    for (auto& slot : s.columns)
        slot.html = true;
    for (auto& slot : s.columns)
        slot.csv = true;
    for (std::size_t i = 0; i < kColumnSlots; ++i)
        s.columns[i].ColumnFieldCode = std::string(1, static_cast<char>('0' + i));
    s.TOP = 0;
    s.TOPVALUE = 0;
}

void SetDefaultHistorySettings(ReportSettings& s) {
    s.KeepHistory = true;
    s.HistoryFile.clear();
}

}  // namespace k32
