// kestrama32-dummylog PATH COUNT VERSION [--problems]
// Writes a synthetic GWCheck log, as the Advanced tab does. VERSION is 1 "Groupwise 5.5.x",
// 2 "Groupwise 6.0.x", 3 "Groupwise 6.5" or 4 "Groupwise 6.5.2"; a COUNT below 10 becomes 10.

#include <iostream>
#include <string>
#include <string_view>

#include "testlog/DummyLog.h"
#include "text/Errors.h"

namespace {
int Usage() {
    std::cerr
        << "usage: kestrama32-dummylog PATH COUNT VERSION [--problems]\n"
           "  VERSION: 1 Groupwise 5.5.x, 2 Groupwise 6.0.x, 3 Groupwise 6.5, 4 Groupwise 6.5.2\n";
    return 2;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5)
        return Usage();
    bool problems = false;
    if (argc == 5) {
        if (std::string_view(argv[4]) != "--problems")
            return Usage();
        problems = true;
    }
    std::string_view version(argv[3]);
    if (version.size() != 1 || version[0] < '1' || version[0] > '4')
        return Usage();
    try {
        std::int64_t count = k32::DummyMailboxCount(argv[2]);
        k32::WriteDummyLog(argv[1], static_cast<k32::DummyVersion>(version[0] - '0'), count,
                           problems);
    } catch (const k32::KestramaError& e) {
        std::cerr << "kestrama32-dummylog: " << e.what() << '\n';
        if (!e.where.empty())
            std::cerr << "kestrama32-dummylog: at " << e.where << "\n";
        return e.kind == k32::ErrorKind::Conversion ? 2 : 1;
    }
    return 0;
}
