#include "app/Usage.h"

namespace k32 {

InfoRequest InfoRequested(const std::vector<std::string>& params) {
    bool version = false;
    for (const std::string& p : params) {
        if (p == "--help" || p == "-h")
            return InfoRequest::Help;
        if (p == "--version" || p == "-V")
            version = true;
    }
    return version ? InfoRequest::Version : InfoRequest::None;
}

std::string UsageText() {
    return R"(Usage: kestrama32
       kestrama32 /IN:LOG /OUT:BASE /OPTIONS:SDMCXY [/COLUMN:...] [/TOP:N,ABOVE:V]
                  [/HISTORY:[FILE]]
       kestrama32 history import|list|forget|report|mailbox [--history=FILE|URL] ...
       kestrama32 --help | --version

Turns a GWCheck log with mailbox or expire statistics into a web report (BASE.mht) and a
CSV report (BASE.csv). Without parameters it opens the window.

  /IN:LOG          the GWCheck log to read
  /OUT:BASE        the reports' path without extension; its folder must exist
  /OPTIONS:SDMCXY  six characters (quote them in a shell: /OPTIONS:"5110;.")
                     S  sort field: 0 Username, 1 Fullname, 2 Inbox, 3 Outbox, 4 Wastebin,
                        5 Size, 6 UID
                     D  sort direction: 0 ascending, 1 descending
                     M  debug mode: 0 disk and screen, 1 disk only, 2 screen only, 3 off
                     C  CSV captions: 0 header, 1 footer, 2 none
                     X  CSV separator character
                     Y  decimal separator character
  /COLUMN:CCCCCCCCCC,HTML:FFFFFFFFFF,CSV:FFFFFFFFFF
                   ten column codes, then which of them the web and the CSV report show
                   (0 hides the column, any other character shows it). Codes: 0 Username,
                   1 Fullname, 2 Size, 3 Inbox, 4 Outbox, 5 Wastebin, 6 Sizelimit,
                   7 Threshold, 8 Exceeded, 9 UID
  /TOP:N,ABOVE:V   list only the first N mailboxes (0: all), or, with V above 0, the
                   leading mailboxes whose sort field is above V (after /COLUMN:)
  /HISTORY:[FILE]  also record the run in a history store and write BASE-trends.html and
                   BASE-trends.csv (the last switch; without FILE, the default store).
                   A PostgreSQL connection string ("postgresql://USER@HOST/DB" or
                   "host=HOST dbname=DB") names a store on a server. Keep its password
                   off the command line, where other users of this machine can see it:
                   in ~/.pgpass (or the file PGPASSFILE names), in PGPASSWORD, or in a
                   service file ("postgresql:///?service=NAME")
  history import   record many logs into the history store at once, in the order of
                   their dates, without reports; history list, forget, report and
                   mailbox show the recorded runs, delete one, write the trend reports
                   and one mailbox's sizes from the store alone (kestrama32 history
                   --help tells more)
  -h, --help       show this text
  -V, --version    show the version

Examples:
  kestrama32 /IN:/var/log/gw/po1.log /OUT:/srv/reports/po1 /OPTIONS:"5110;."
  kestrama32 /IN:po1.log /OUT:po1 /OPTIONS:"2112,," \
             /COLUMN:0123456789,HTML:1111111111,CSV:1111111111 /TOP:50,ABOVE:0

Exit codes:
  0  the reports were written
  1  an error ended the run (a file could not be read or written, a value did not convert)
  2  the command line was wrong, or the window could not be shown
  3  the log holds no statistics; nothing was written
)";
}

std::string VersionText() {
    return std::string("kestrama32 ") + KESTRAMA_VERSION + "\n";
}

}  // namespace k32
