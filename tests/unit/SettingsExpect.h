#pragma once
// Compares two settings field by field, so that a failure names the field that differs.

#include <gtest/gtest.h>

#include "state/ReportSettings.h"

namespace k32::test {

inline void ExpectSameSettings(const ReportSettings& a, const ReportSettings& b) {
    EXPECT_EQ(a.Sort, b.Sort);
    EXPECT_EQ(a.SortDir, b.SortDir);
    EXPECT_EQ(a.DebugMode, b.DebugMode);
    EXPECT_EQ(a.CSVSeperator.str(), b.CSVSeperator.str());
    EXPECT_EQ(a.DECSeperator.str(), b.DECSeperator.str());
    EXPECT_EQ(a.CSVHeader.str(), b.CSVHeader.str());
    for (std::size_t i = 0; i < kColumnSlots; ++i) {
        EXPECT_EQ(a.columns[i].ColumnFieldCode.str(), b.columns[i].ColumnFieldCode.str()) << i;
        EXPECT_EQ(a.columns[i].html, b.columns[i].html) << i;
        EXPECT_EQ(a.columns[i].csv, b.columns[i].csv) << i;
    }
    EXPECT_EQ(a.TOP, b.TOP);
    EXPECT_EQ(a.TOPVALUE, b.TOPVALUE);
    EXPECT_EQ(a.InputPath.str(), b.InputPath.str());
    EXPECT_EQ(a.OutputBasePath.str(), b.OutputBasePath.str());
    EXPECT_EQ(a.KeepHistory, b.KeepHistory);
    EXPECT_EQ(a.HistoryFile, b.HistoryFile);
}

}  // namespace k32::test
