#pragma once
// Where the program lives and where its three stores are kept.

#include <string>

namespace vex {

// The directory of the program file, without a trailing slash; fixed at the first call.
std::string runDirectory();

// The folder of the stores: the override when one is set,
// else the program's directory when the program may write there (portable use)
// and it is not an installed program's folder (one beside share/doc/vexorin),
// else $XDG_DATA_HOME/vexorin (by default ~/.local/share/vexorin). The chosen
// folder is created when missing; the choice is kept for the rest of the run.
std::string dataDirectory();

// --data-dir and tests. An empty text drops the override; the next call of
// dataDirectory() then chooses again.
void setDataDirectoryOverride(const std::string& directory);

// The choice dataDirectory() makes for a program living in `programDirectory`,
// from the current environment; creates the fallback folder when it is needed.
std::string defaultDataDirectory(const std::string& programDirectory);

}  // namespace vex
