#pragma once
// Functions the program declares from external libraries, called by library and
// function name. A built-in table answers the declarations whose library does not
// exist on this system (the program's one such declaration is answered by a stat()
// directory test); any other declaration is loaded with dlopen/dlsym. Each address
// is resolved on the first call and kept for the life of the process.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/value.h"

namespace vex {

// Calls the function with integer, bool, text and byte-set arguments (at most six),
// passed as C integers and pointers, and returns its int result. When no library
// exports the function this raises the runtime error "无法找到指定DLL库文件…"; a float,
// date-time or unit argument, or more than six, raises runtime error 11.
std::int32_t callDeclaredFunction(std::string_view library, std::string_view function,
                                  const std::vector<Value>& arguments);

// Directories searched before and after the program's directory for a library named
// without a "/"; empty ones are skipped. Takes effect for functions not yet resolved.
void setDeclaredLibraryDirectories(std::string first, std::string second);

}  // namespace vex
