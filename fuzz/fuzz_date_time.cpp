// Any text must parse or be refused without a crash, and every date-time the parser
// accepts must read back the same from its own text form.
#include <cstdint>
#include <cstring>
#include <string>

#include "runtime/convert.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const vex::DateTime parsed = vex::toDateTime(vex::Value(text));
    if (parsed.days != vex::kNoDate) {
        const std::string shown = vex::toText(vex::Value(parsed));
        const std::optional<vex::DateTime> again = vex::parseDateTime(shown);
        if (!again || again->days != parsed.days) __builtin_trap();
    }
    // Arbitrary bit patterns, NaN and infinities included, must still format as a date.
    if (size >= sizeof(double)) {
        double raw = 0;
        std::memcpy(&raw, data, sizeof raw);
        const vex::DateTimeParts parts = vex::dateTimeToParts(raw);
        if (parts.year < 100 || parts.year > 9999 || parts.second > 59) __builtin_trap();
        (void)vex::toText(vex::Value(vex::DateTime{raw}));
    }
    (void)vex::toNumber(vex::Value(text));
    return 0;
}
