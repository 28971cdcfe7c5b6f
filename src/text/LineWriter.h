#pragma once
// Writes a text file line by line, each line ended by CR LF, bytes as given, through one large
// buffer. In the Replace mode the lines go to a temporary file in the same folder, which
// Commit renames over the target: a writer that fails or is abandoned part-way leaves the
// previous file intact and no temporary file behind. In the Direct mode the target itself is
// created and written.

#include <string>
#include <string_view>

namespace k32 {

class LineWriter {
public:
    enum class Mode { Replace, Direct };

    // Raises the input/output error when the file cannot be created.
    LineWriter(const std::string& path, Mode mode);
    ~LineWriter();
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    // Appends the bytes to the current line.
    void Put(std::string_view bytes);
    // Ends the current line.
    void EndLine();
    void WriteLine(std::string_view line) {
        Put(line);
        EndLine();
    }
    // Writes everything out and puts the file in place. Raises the input/output error.
    void Commit();

private:
    void Flush();

    std::string path_, writePath_;
    Mode mode_;
    int fd_ = -1;
    std::string buffer_;
    bool committed_ = false;
};

}  // namespace k32
