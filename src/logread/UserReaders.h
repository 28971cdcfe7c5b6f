#pragma once
// The mailbox-statistics readers: one pass over the whole log, one MailboxRecord per user block,
// appended to the mailbox table in log order. Both raise the input/output error when the log
// cannot be read and the conversion error (naming the file and line) for a size that is not a
// whole number; the records appended until then stay in the table.

namespace k32 {

struct AppState;

// GroupWise 6.0 and later (and any version the run does not know).
void ReadUsersGW6(AppState& state);
// GroupWise 5.5: no full name, no disk space values, no limit-exceeded lines.
void ReadUsersGW55(AppState& state);

}  // namespace k32
