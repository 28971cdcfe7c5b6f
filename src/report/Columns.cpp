#include "report/Columns.h"

#include "state/ColumnTable.h"

namespace k32 {

std::string_view ColumnCaption(std::string_view code) {
    const ColumnInfo* c = ColumnOfCode(code);
    return c ? c->caption : std::string_view();
}

int ColumnRecordField(std::string_view code) {
    const ColumnInfo* c = ColumnOfCode(code);
    return c ? static_cast<int>(c->field) : -1;
}

std::string_view ColumnValue(const MailboxRecordView& record, std::string_view code) {
    int f = ColumnRecordField(code);
    return f < 0 ? std::string_view() : record.field[f];
}

}  // namespace k32
