#pragma once
// The one way a user's file is rewritten: the new content goes to a temporary
// file in the same folder, is flushed to disk, and only then renamed over the old
// file, so a crash or a full disk never leaves a torn file behind. The old file's
// permission bits are kept; a link is followed and its target replaced.

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace vex {

// Whether a save waits for the disk. Only a cache stamped with currentBootStamp()
// may skip it: a crash of the machine that tears it also makes its stamp stale.
enum class SaveSync : bool { ToDisk, NotNeeded };
// How a cache stamped with currentBootStamp() is saved: without waiting for the disk,
// unless the kernel gives no boot id, so that the stamp tells no boot from another.
SaveSync bootStampedSaveSync();

// Replaces (or creates) `path` with `bytes`. Returns "" on success, else a
// reason the user can act on; on failure the old file is untouched and no
// temporary file is left. An existing file we may not write is refused, as are
// directories, FIFOs and devices.
std::string saveFileAtomically(const std::string& path, std::string_view bytes,
                               SaveSync sync = SaveSync::ToDisk);
// The same with the content given in parts, written one after another.
std::string saveFileAtomicallyInParts(const std::string& path, std::span<const std::string_view> parts,
                                      SaveSync sync = SaveSync::ToDisk);

// Fault injection for tests: every write of saveFileAtomically goes through this
// function (same contract as ::write). An empty function restores ::write.
using AtomicSaveWriteFunction = std::function<ssize_t(int fd, const void* data, std::size_t size)>;
void setAtomicSaveWriteFunction(AtomicSaveWriteFunction function);

}  // namespace vex
