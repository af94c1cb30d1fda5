#include "library/data_directory.h"

#include "runtime/data_dir.h"

namespace vex {

DataDirectory DataDirectory::current() { return DataDirectory(dataDirectory()); }

}  // namespace vex
