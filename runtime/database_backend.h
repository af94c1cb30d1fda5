#pragma once
// The backend behind the external database unit: a module that the unit reaches
// only through a table of named operations ("OpenDatabase", "OpenTable", ...).
// It keeps each opened database (an SQLite connection, always read-only) with
// 30 record-set slots; a record set is the whole result of its statement,
// materialised when the statement runs, so it is a snapshot by construction.
//
// Every operation takes its arguments as typed values; the first is the
// database handle that "OpenDatabase" returned (an integer, 0 for none).
//   OpenDatabase / NewOpenDatabase (connection text, read-only, no dialog) -> handle, 0 on failure
//   CloseDatabase (handle)
//   OpenTable (handle, SQL text, bound text parameters...) -> record-set number, 0 on failure
//   CloseTable (handle, record-set number; omitted: all record sets)
//   IsEOF (handle, number) -> bool, true for an unknown number
//   MoveFirst, MoveNext (handle, number)
//   ReadColByName (handle, number, name) / ReadColByIndex (handle, number, position from 1)
//       -> the field value, or no value (an omitted Value)
//   EmptyVar (value): releases a value the backend handed out
// No operation throws or shows a message: failures come back as results.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "runtime/sqlite.h"
#include "runtime/value.h"

namespace vex::database_backend {

constexpr int kRecordSetSlots = 30;

using Operation = Value (*)(std::span<const Value> arguments);

// h = h * 131 + byte (the byte taken as signed), 32-bit wrap-around, masked with 0x7FFFFFFF.
std::uint32_t hashOperationName(std::string_view name);

// The operation of that name, or nullptr. The table is initialised on the
// first lookup; when that fails, every lookup yields nothing from then on.
Operation findOperation(std::string_view name);

// The file an external database connection text names (runtime/connection_text.h).
// The name runs up to the next key that may follow it (so a path may hold a
// semicolon), or is enclosed in braces.
std::string databaseFileFromConnectionText(std::string_view connectionText);

// The field value a column delivers, from its declared kind and the stored cell;
// a NULL gives the zero value of the column's type.
Value deliverField(sqlite::DeclaredKind kind, const sqlite::Cell& cell);

// Tests: make the next table initialisation fail (or succeed again), and start over.
void resetOperationTableForTesting(bool initialisationFails);

}  // namespace vex::database_backend
