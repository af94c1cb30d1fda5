#pragma once
// Earlier generations of a store, kept beside it before a clear or delete so
// the user can take the change back. Each is a whole copy named after the
// store and the local time it was taken ("data.mdb.2025-03-01_14-02-09.311");
// the last five of each store are kept. A database is copied through SQLite's
// backup interface, so the copy is consistent even while another program reads.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vex {

inline constexpr std::size_t kKeptGenerations = 5;

enum class StoreFormat { ListFile, Database };

struct StoreGeneration {
    std::string name;  // the time it was taken, as in its file name; what `restore` is given
    std::string path;
    std::uintmax_t bytes = 0;
};

class StoreGenerations {
public:
    StoreGenerations(std::string storePath, StoreFormat format)
        : storePath_(std::move(storePath)), format_(format) {}

    // Newest first.
    std::vector<StoreGeneration> list() const;

    // Copies the store as it is now into a new generation and drops the ones
    // past the last five. A missing or empty store has nothing to keep: "" and
    // no generation. Returns "" or why the copy could not be made.
    std::string keep() const;

    // Replaces the store with the generation named `name` (the newest when
    // empty), after keeping the store as it is now, so a restore can itself be
    // taken back. `restored` receives the name restored. "" or why not.
    std::string restore(const std::string& name, std::string* restored = nullptr) const;

private:
    std::string keepSparing(const std::string& spared) const;
    std::string copyInto(const std::string& from, const std::string& to) const;

    std::string storePath_;
    StoreFormat format_;
};

}  // namespace vex
