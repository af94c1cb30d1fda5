#pragma once
// Taking back a clear or delete: every store keeps its last generations
// (library/store_generations.h), and one can be brought back whole.

#include <string>
#include <vector>

#include "flow/outcome.h"
#include "library/data_directory.h"
#include "library/store_generations.h"

namespace vex {

enum class StoreKind { Experiments, Library, Results };

// The generations kept of one store, newest first.
std::vector<StoreGeneration> listGenerations(const DataDirectory& data, StoreKind store);

struct RestoreOutcome : Outcome {
    std::string restored;  // the generation brought back
};

// Brings back the generation named `generation` (the newest when empty); the
// store as it was is kept as a generation first.
RestoreOutcome restoreStore(const DataDirectory& data, StoreKind store, const std::string& generation);

}  // namespace vex
