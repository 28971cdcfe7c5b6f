#pragma once
// Report columns: a slot's field code "0".."9" names a caption and the record field that fills
// the column. Any other code has an empty caption and an empty value.

#include <string_view>

#include "state/Records.h"

namespace k32 {

std::string_view ColumnCaption(std::string_view code);
std::string_view ColumnValue(const MailboxRecordView& record, std::string_view code);

// The record field of a code, or -1 for a code outside "0".."9".
int ColumnRecordField(std::string_view code);

}  // namespace k32
