#include "report/Columns.h"

#include <array>

namespace k32 {

namespace {
constexpr std::array<std::string_view, 10> kCaptions = {
    "Username", "Fullname",       "Size (MB)", "Inbox",    "Outbox",
    "Wastebin", "Sizelimit (MB)", "Threshold", "Exceeded", "UID"};
constexpr std::array<int, 10> kFields = {kUserName,    kFullName,  kSize,      kInbox,    kOutbox,
                                         kWastebasket, kSizeLimit, kThreshold, kExceeded, kUid};

int CodeIndex(std::string_view code) {
    return code.size() == 1 && code[0] >= '0' && code[0] <= '9' ? code[0] - '0' : -1;
}
}  // namespace

std::string_view ColumnCaption(std::string_view code) {
    int i = CodeIndex(code);
    return i < 0 ? std::string_view() : kCaptions[i];
}

int ColumnRecordField(std::string_view code) {
    int i = CodeIndex(code);
    return i < 0 ? -1 : kFields[i];
}

std::string_view ColumnValue(const MailboxRecordView& record, std::string_view code) {
    int f = ColumnRecordField(code);
    return f < 0 ? std::string_view() : record.field[f];
}

}  // namespace k32
