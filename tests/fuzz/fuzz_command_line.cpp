// The command-line parser on outside bytes: the bytes split at NUL into parameters, as argv
// hands them over.

#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "app/CommandLine.h"
#include "text/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace k32;
    std::vector<std::string> params;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (std::size_t start = 0; start <= bytes.size();) {
        const std::size_t end = std::min(bytes.find('\0', start), bytes.size());
        params.emplace_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    if (size == 0)
        params.clear();
    ReportSettings settings;
    CommandLine line;
    try {
        line = ParseCommandLine(params, fuzz::WorkFolder(), settings);
    } catch (const KestramaError& e) {
        // A wrong command line is reported and the program exits 2: only conversion errors.
        if (e.kind != ErrorKind::Conversion)
            fuzz::Fail(std::string("command line raised another error: ") + e.what());
        return 0;
    }
    if (line.windowMode != (params.size() < 3 || params.size() > 5))
        fuzz::Fail("batch mode does not follow the parameter count");
    return 0;
}
