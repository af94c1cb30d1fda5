#pragma once
// The confirmed library's file: an SQLite database under its historic name,
// with the one table of store_schema.h. The program carries the image of the
// empty store and writes it out when the file is missing.

#include <cstdint>
#include <span>
#include <string>

#include "library/store_schema.h"

namespace vex {

// The bytes of the empty store, generated at build time from the schema.
std::span<const std::uint8_t> emptyStoreImage();

enum class StoreCreation {
    Written,        // the file was missing and now holds the empty store
    AlreadyExists,  // anything of that name exists (a directory too): left untouched
    Failed,         // could not be written; `error` says why
};

struct EnsureStoreResult {
    StoreCreation outcome = StoreCreation::Failed;
    std::string error;
};

// Writes the empty store to `path` byte for byte when nothing of that name
// exists. An existing file, with whatever the user added, is never replaced.
EnsureStoreResult ensureStoreExists(const std::string& path);

}  // namespace vex
