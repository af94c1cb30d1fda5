#include "library/store.h"

#include "runtime/new_file.h"

namespace vex {
namespace store_image {
extern const std::uint8_t kBytes[];
extern const std::size_t kSize;
}  // namespace store_image

std::span<const std::uint8_t> emptyStoreImage() { return {store_image::kBytes, store_image::kSize}; }

EnsureStoreResult ensureStoreExists(const std::string& path) {
    const NewFileResult result = writeNewFile(path, emptyStoreImage());
    switch (result.outcome) {
        case NewFileOutcome::Written:
            return {StoreCreation::Written, {}};
        case NewFileOutcome::AlreadyExists:
            return {StoreCreation::AlreadyExists, {}};
        case NewFileOutcome::Failed:
            break;
    }
    return {StoreCreation::Failed, result.error};
}

}  // namespace vex
