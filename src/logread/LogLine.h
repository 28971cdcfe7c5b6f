#pragma once
// A line of the log as the readers see it: the text as read (values are cut from it, so they
// keep their case) and its matching form (every test is made on it).

#include <string_view>

namespace k32 {

struct LogLine {
    std::string_view text;
    std::string_view upper;
};

}  // namespace k32
