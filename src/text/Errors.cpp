#include "text/Errors.h"

#include <cerrno>
#include <cstring>
#include <system_error>

namespace k32 {

void ThrowIoError(int err, const std::string& path, bool creating) {
    std::string message;
    switch (err) {
        case ENOENT:
            message = creating ? "Path not found" : "File not found";
            break;
        case ENOTDIR:
            message = "Path not found";
            break;
        case EACCES:
        case EPERM:
        case EROFS:
            message = "File access denied";
            break;
        case ENOSPC:
            message = "Disk full";
            break;
        default:
            // Thread-safe, unlike strerror: reports are written on two threads.
            message = std::error_code(err, std::generic_category()).message();
            break;
    }
    throw KestramaError(ErrorKind::InputOutput, message, path);
}

}  // namespace k32
