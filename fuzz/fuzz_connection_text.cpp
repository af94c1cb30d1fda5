// The connection texts (the external database unit's for lookups, the database connection unit's for
// the record sets) name the database file. Reading the file back out of any text must never crash and
// must give a part of that text; and for every path the program can be handed (here: the rest of the
// input), the text we build must give back exactly that path, or a lookup would quietly open another file.
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/connection_text.h"
#include "runtime/database_backend.h"
#include "runtime/database_connection.h"
#include "runtime/external_database.h"

namespace {

// Every path the program can be handed round-trips: values holding ";", "{" or "}"
// are quoted in braces. Only a NUL byte can never be part of a path.
bool canRoundTrip(std::string_view path) { return path.find('\0') == std::string_view::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // Reading any text never crashes; a quoted value may differ from its text by its doubled braces.
    const std::string anyFile = vex::database_backend::databaseFileFromConnectionText(text);
    if (anyFile.size() > text.size()) __builtin_trap();

    const vex::Value password = (size & 1) ? vex::Value(std::string("tulip")) : vex::Value();
    const std::string built = vex::buildExternalDatabaseConnectionText(text, vex::Value(), password);
    if (canRoundTrip(text) && vex::database_backend::databaseFileFromConnectionText(built) != text)
        __builtin_trap();

    // The same for the text of the database connection unit (its data source).
    const std::string anySource = vex::dataSourceFromConnectionText(text);
    if (anySource.size() > text.size()) __builtin_trap();
    const std::string forRecordSets = vex::buildDatabaseConnectionText(text, (size & 1) ? "tulip" : "");
    if (canRoundTrip(text) && vex::dataSourceFromConnectionText(forRecordSets) != text) __builtin_trap();
    return 0;
}
