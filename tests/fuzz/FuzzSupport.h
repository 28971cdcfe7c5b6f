#pragma once
// Shared by the fuzz harnesses: the input file each input is written to, a fresh state as a
// batch run has it, the checks every CSV report must pass, and a memory bound.
//
// A harness aborts (through Fail) when an invariant does not hold, so that the fuzzer keeps the
// input as a finding and the corpus replay fails.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace k32 {
struct AppState;
struct ReportSettings;
struct RunResult;
}  // namespace k32

namespace k32::fuzz {

// Prints the reason and aborts.
[[noreturn]] void Fail(const std::string& reason);

// A private folder for this process's files, made on first use and removed at exit.
const std::string& WorkFolder();

// Writes the bytes to this process's input file (the same file for every input) and returns its
// path.
std::string WriteInput(const std::uint8_t* data, std::size_t size);
std::string WriteInput(std::string_view bytes);

// Writes `unit` again and again, every LF replaced by a NUL, until the file holds at least
// `total` bytes: one endless line without a line end.
std::string WriteEndlessLine(std::string_view unit, std::size_t total);

// Defaults, the debug log off, batch mode, the given input; the output base in WorkFolder.
void PrepareState(AppState& state, const std::string& inputPath);

// The values of a CSV line read as RFC 4180 reads one record with the given separator. False
// when the line does not read as whole values: a quoted value left open, a byte other than the
// separator after a closing quote, or a quote, CR or LF in an unquoted value.
bool ReadCsvLine(std::string_view line, std::string_view separator,
                 std::vector<std::string>& values);

// Aborts unless the CSV report of the finished run holds what the state says, line by line:
// every line ends with CR LF and reads as whole values; every line but the summary line has at
// most 255 bytes; the caption and data lines give the chosen columns' texts, where a line was
// cut, up to the cut.
void CheckCsvReport(const ReportSettings& settings, const RunResult& run, const std::string& bytes);

// Measures how far memory use rises above its level at construction. Under AddressSanitizer it
// counts the bytes allocated and not yet freed, exactly; elsewhere it watches the process's
// peak resident memory.
class MemoryRise {
  public:
    MemoryRise();
    ~MemoryRise();
    std::size_t Bytes() const;

  private:
    std::size_t start_;
};

}  // namespace k32::fuzz
