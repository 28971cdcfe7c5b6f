#pragma once
// One user or expire reader on outside bytes. The first byte picks the keyword set (English,
// German, French) the way a detected language would; the rest is the log.

#include <cstdint>
#include <string_view>

#include "FuzzSupport.h"
#include "logread/Keywords.h"
#include "state/AppState.h"
#include "text/Errors.h"

namespace k32::fuzz {

// Runs the reader, then reads every stored record back: the count never passes the table.
template <typename Reader, typename GetRecord>
void RunReader(const std::uint8_t* data, std::size_t size, Reader reader, GetRecord get) {
    if (size == 0)
        return;
    AppState state;
    PrepareState(state, WriteInput(data + 1, size - 1));
    switch (data[0] % 3) {
        case 1:
            LoadGermanKeywords(state);
            break;
        case 2:
            LoadFrenchKeywords(state);
            break;
        default:
            LoadEnglishKeywords(state);
    }
    try {
        reader(state);
    } catch (const KestramaError&) {
        // A log that cannot be read, or a figure that is not a number: the run's own error.
    }
    std::size_t bytes = 0;
    for (std::uint32_t i = 1; i <= state.log.count; ++i)
        for (std::string_view field : get(state.log, i).field)
            bytes += field.size();
    if (bytes > 255u * 10u * state.log.count)
        Fail("a record holds more than its fields can");
}

}  // namespace k32::fuzz
