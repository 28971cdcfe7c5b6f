#pragma once
// The texts that kestrama32 prints on request, without running: the usage text (--help, -h)
// and the version line (--version, -V).

#include <string>
#include <vector>

namespace k32 {

enum class InfoRequest { None, Help, Version };

// Help when any parameter is "--help" or "-h", else Version when any is "--version" or "-V".
// No switch of a run can be mistaken for these: they all start with "/".
InfoRequest InfoRequested(const std::vector<std::string>& params);

// The usage text: the switches, the option characters, the column codes, the top switch, two
// examples and the exit codes. Ends with a line end.
std::string UsageText();

// "kestrama32 <version>" with a line end.
std::string VersionText();

}  // namespace k32
