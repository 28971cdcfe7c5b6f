#include "app/ErrorLines.h"

#include "text/Errors.h"

namespace k32 {

namespace {

const std::string kPrefix = "kestrama32: ";

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::vector<std::string> ErrorLines(const KestramaError& e, const std::string& inputPath) {
    const std::string message = e.what();
    const std::string& where = e.where;
    if (where.empty())
        return {kPrefix + message};
    // A place in the log ("FILE, line N") gets its own line after the reason.
    if (!inputPath.empty() && StartsWith(where, inputPath + ", line ")) {
        const std::string first = e.kind == ErrorKind::InputOutput
                                      ? "cannot read " + inputPath + ": " + message
                                      : inputPath + ": " + message;
        return {kPrefix + first, kPrefix + "at " + where};
    }
    if (where == inputPath)
        return {kPrefix + "cannot read " + where + ": " + message};
    return {kPrefix + "cannot write " + where + ": " + message};
}

}  // namespace k32
