#pragma once
// Writes synthetic GWCheck logs of a mailbox-statistics run, for one of four GroupWise
// versions and any number of mailboxes, that the readers accept. Nothing is random: mailbox N
// holds N items in each folder, a size limit and a usage of N * 100 KB (version 1: N * 1,000,000
// bytes), the UID 123 and the full name "FirstnameN LastnameN[]".

#include <cstdint>
#include <string>
#include <string_view>

namespace k32 {

enum DummyVersion : int {
    kDummyGW55 = 1,   // "Groupwise 5.5.x"
    kDummyGW60 = 2,   // "Groupwise 6.0.x"
    kDummyGW65 = 3,   // "Groupwise 6.5"
    kDummyGW652 = 4,  // "Groupwise 6.5.2"
};

// The mailbox count typed by the user: converted strictly (the conversion error otherwise) and
// raised to 10 when smaller.
std::int64_t DummyMailboxCount(std::string_view text);

// Creates or replaces the file and writes the log. With `problems`, versions 2 to 4 give every
// fifth mailbox a limit-exceeded line in place of its usage line, alternating Problem 90 and
// Problem 89. Raises the input/output error; what was written until then stays on disk.
void WriteDummyLog(const std::string& path, DummyVersion version, std::int64_t count,
                   bool problems);

}  // namespace k32
