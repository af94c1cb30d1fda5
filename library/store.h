#pragma once
// The confirmed library's store: the file "data.mdb" (an SQLite database
// under its historic name) with the one table "文件特征值库". The program carries
// the image of the empty store and writes it out when the file is missing.

#include <cstdint>
#include <span>
#include <string>

#include "library/store_schema.h"

namespace vex {

inline constexpr std::string_view kStoreFileName = "data.mdb";
// Passed in both connection texts as the program always did; an SQLite file
// carries no password, so it protects nothing and we never claim it does.
inline constexpr std::string_view kStorePassword = "tulip";

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
