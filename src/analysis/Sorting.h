#pragma once
// Puts the mailbox table in the order the user chose: by one of seven fields, ascending or
// descending. Equal keys keep the order the reader produced (a stable sort), text keys compare
// their upper-case bytes as unsigned codes, number keys compare as unsigned 32-bit values (so
// "-1" sorts after every real figure when ascending).

#include <cstdint>

#include "state/Records.h"
#include "state/RunContext.h"

namespace k32 {

// Sorts records 1..Count() in place. A field above 6 or a direction other than 0 and 1 leaves the
// table as it is. A number field that does not convert raises the conversion error before any
// record moves.
void SortMailboxes(RunContext& ctx, MailboxTable& table, std::uint8_t field,
                   std::uint8_t direction);

}  // namespace k32
