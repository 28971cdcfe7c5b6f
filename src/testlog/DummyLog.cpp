#include "testlog/DummyLog.h"

#include <array>
#include <string>
#include <vector>

#include "text/Convert.h"
#include "text/LineWriter.h"

namespace k32 {

namespace {

const std::string kEquals(80, '=');
const std::string kStars(69, '*');

std::string Banner(std::string_view start) {
    std::string s(start);
    s.append(80 - s.size(), '=');
    return s;
}

// "Processing information for this run:" through the "Output log" line.
std::vector<std::string> RunOptionLines(bool mailboxStatisticsAction) {
    std::vector<std::string> lines = {
        "Processing information for this run:",
        "  Path to PO   = SERVER\\VOLUME:\\grpwise\\postoff",
        "    Post Office= Kestrama PO Name",
        "    User       = All",
        mailboxStatisticsAction ? "  Action       = Mailbox Statistics"
                                : "  Action       = Analyze/Fix",
        "  Files        = Message, User",
        "  Verify       = Contents",
        "    Fixup num  = All",
        "  Statistics   = Yes",
        "    Box Limit  = 500",
        "  Verbose      = No",
        "  Upd DiskSpace= Yes",
        "  Output log   = SERVER\\VOLUME:\\grpwise\\postoff\\wpcsout\\chk\\3ed7fe9e.ckl",
    };
    if (mailboxStatisticsAction)
        lines.erase(lines.begin() + 8);  // no "Statistics = Yes"
    return lines;
}

std::vector<std::string> StructuralLines() {
    return {"GWCHECK user options analysis:",
            "- options are consistent.",
            kStars,
            "",
            "",
            "",
            "STRUCTURAL VERIFICATION of system databases",
            "    STRUCTURAL VERIFICATION of database ngwguard.db",
            "      - Database is structurally consistent",
            "Reading Guardian Database store catalog info",
            ""};
}

std::vector<std::string> HeaderLines(DummyVersion version) {
    std::vector<std::string> h;
    auto add = [&](const std::vector<std::string>& more) {
        h.insert(h.end(), more.begin(), more.end());
    };
    if (version == kDummyGW55) {
        h = {"Novell GroupWise 5 - GWCHKSRV - Version 5.5   ",
             "  Processed on Sunday, July 25, 2004 - 2:00 am",
             "",
             "",
             "",
             kStars};
        add(RunOptionLines(false));
        add({"", ""});
        add(StructuralLines());
        add({kStars, "Processing post office = GWPOA   path = SERVER\\VOLUME:\\grpwise\\postoff",
             kStars});
        return h;
    }
    const char* versionLine = version == kDummyGW60 ? "Novell GroupWise - GWCHKSRV - Version 6.0.0"
                              : version == kDummyGW65
                                  ? "Novell GroupWise - GWCHKSRV - Version 6.5.0"
                                  : "Novell GroupWise - GWCHKSRV - Version 6.5.2";
    h = {kEquals,
         Banner("===== BEGIN - JOB LOG "),
         kEquals,
         "",
         kEquals,
         Banner("===== TASK LOG - 0 (3ed7fe9c.ckl) "),
         kEquals,
         versionLine,
         "  Processed on Saturday, May 31, 2003 - 1:00 am",
         "",
         "",
         "",
         kStars};
    add(RunOptionLines(version == kDummyGW652));
    add({"", ""});
    add(StructuralLines());
    add(
        {"*** Processing post office 'Kestrama PO Name.Org' located at "
         "'SERVER\\VOLUME:\\grpwise\\postoff' ***"});
    return h;
}

const std::array<const char*, 21> kCheckBlock = {
    "          STRUCTURAL VERIFICATION of database "
    "SERVER\\VOLUME:\\grpwise\\postoff\\ofuser\\useroab.db",
    "      Verifying data",
    "      - Database is structurally consistent",
    "      Reducing database SERVER\\VOLUME:\\grpwise\\postoff\\ofuser\\useroab.db",
    "        - no storage reclaimed.",
    "    CONTENTS VERIFICATION/STATISTICS analysis of db "
    "SERVER\\VOLUME:\\grpwise\\postoff\\ofuser\\useroab.db",
    "",
    "      - 2818 records found, last DRN = 5726",
    "      - checking Preference records",
    "      - checking Personal Address Book records",
    "        Starting User-Defined Table check",
    "        User-Defined Table check complete",
    "        Starting address book sync",
    "        Address book sync complete",
    "        Starting PAB index check",
    "        PAB index check complete",
    "        Starting PAB duplicate book check",
    "        Duplicate book check complete",
    "      - checking Folder records",
    "      - checking Data records",
    "        1 FOLDER_RECORD (Universal Inbox)",
};

}  // namespace

std::int64_t DummyMailboxCount(std::string_view text) {
    std::int64_t n = StrToInt32(text);
    return n < 10 ? 10 : n;
}

void WriteDummyLog(const std::string& path, DummyVersion version, std::int64_t count,
                   bool problems) {
    LineWriter out(path, LineWriter::Mode::Direct);
    for (const std::string& line : HeaderLines(version))
        out.WriteLine(line);
    const bool gw55 = version == kDummyGW55;
    const bool withProblems = problems && !gw55;
    int counter = 0;
    bool nextIs90 = true;
    std::string n;
    for (std::int64_t i = 1; i <= count; ++i) {
        n = std::to_string(i);
        out.WriteLine("");
        out.WriteLine("");
        out.WriteLine("  Checking user = Username" + n +
                      "     (123)   1234567 bytes,01/01/01 01:00 (Firstname" + n + " Lastname" + n +
                      "[])");
        for (const char* line : kCheckBlock)
            out.WriteLine(line);
        out.WriteLine("  User stats:  " + n + " InBox, " + n + " OutBox, " + n + " WasteBasket");
        if (gw55) {
            out.WriteLine("      " + n + "000000 bytes in use by user's mail");
            out.WriteLine("");
            out.WriteLine("");
            continue;
        }
        out.WriteLine("  Disk space management values:  Size Limit - " + n +
                      "00KB, Threshold - 75%");
        bool problemHere = false;
        if (withProblems && ++counter == 5) {
            counter = 0;
            problemHere = true;
        }
        if (!problemHere) {
            out.WriteLine("      " + n + "00 kbytes in use by user's mail");
        } else if (nextIs90) {
            out.WriteLine("       Problem 90- Threshold limit exceeded. Current size: " + n +
                          "001KB");
            nextIs90 = false;
        } else {
            out.WriteLine("      Problem 89- Size Limit Exceeded.  Current size: " + n + "001KB");
            nextIs90 = true;
        }
        out.WriteLine("");
        out.WriteLine("");
    }
    out.Commit();
}

}  // namespace k32
