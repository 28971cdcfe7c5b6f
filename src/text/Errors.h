#pragma once
// The two kinds of error that end an action: a failing file operation and a text that does not
// convert to a number. Both carry the system's own message text; `where` optionally names the
// file and line (or the file alone) that caused it, for the user's benefit.

#include <stdexcept>
#include <string>

namespace k32 {

enum class ErrorKind { InputOutput, Conversion };

struct KestramaError : std::runtime_error {
    KestramaError(ErrorKind k, const std::string& message, std::string at = {})
        : std::runtime_error(message), kind(k), where(std::move(at)) {}
    ErrorKind kind;
    std::string where;
};

// Raises the input/output error for a failed system call on `path`, worded from errno.
[[noreturn]] void ThrowIoError(int err, const std::string& path, bool creating = false);

}  // namespace k32
