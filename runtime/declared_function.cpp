#include "runtime/declared_function.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include "runtime/runtime_error.h"

namespace vex {
namespace {

using Word = std::intptr_t;
using BuiltinFunction = std::int32_t (*)(const std::vector<Word>& arguments);

// What "PathIsDirectoryA" answers for a directory: the directory attribute bit.
constexpr std::int32_t kDirectoryAttribute = 0x10;
constexpr std::size_t kMaxArguments = 6;

std::int32_t pathIsDirectory(const std::vector<Word>& arguments) {
    if (arguments.empty() || arguments[0] == 0) return 0;
    struct stat info {};
    const char* path = reinterpret_cast<const char*>(arguments[0]);
    return ::stat(path, &info) == 0 && S_ISDIR(info.st_mode) ? kDirectoryAttribute : 0;
}

struct BuiltinEntry {
    std::string_view library;
    std::string_view function;
    BuiltinFunction call;
};

constexpr std::array<BuiltinEntry, 1> kBuiltins = {{{"shlwapi.dll", "PathIsDirectoryA", pathIsDirectory}}};

// Tried in order when a declaration names no library.
constexpr std::array<const char*, 2> kSystemLibraries = {"libc.so.6", "libm.so.6"};

struct Resolved {
    BuiltinFunction builtin = nullptr;
    void* address = nullptr;
};

struct Registry {
    std::mutex mutex;
    std::map<std::pair<std::string, std::string>, Resolved> cache;
    std::string firstDirectory;
    std::string secondDirectory;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

// Declarations spell a built-in library's name in any letter case, and all of them mean it.
bool sameLibraryName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

std::string programDirectory() {
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) return {};
    const std::string path(buffer.data(), static_cast<std::size_t>(length));
    return path.substr(0, path.rfind('/'));
}

void* findExport(const std::string& libraryPath, const std::string& function) {
    // Libraries stay loaded for the life of the process, so the handle is never closed.
    void* handle = ::dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle ? ::dlsym(handle, function.c_str()) : nullptr;
}

std::vector<std::string> candidatePaths(const std::string& library, const Registry& reg) {
    if (library.empty()) return {kSystemLibraries.begin(), kSystemLibraries.end()};
    if (library.find('/') != std::string::npos) return {library};
    std::vector<std::string> paths;
    if (!reg.firstDirectory.empty()) paths.push_back(reg.firstDirectory + "/" + library);
    if (const std::string dir = programDirectory(); !dir.empty()) paths.push_back(dir + "/" + library);
    if (!reg.secondDirectory.empty()) paths.push_back(reg.secondDirectory + "/" + library);
    paths.push_back(library);  // the dynamic linker's own search
    return paths;
}

std::optional<Resolved> resolve(const std::string& library, const std::string& function,
                                const Registry& reg) {
    for (const BuiltinEntry& entry : kBuiltins) {
        if (sameLibraryName(entry.library, library) && entry.function == function)
            return Resolved{entry.call, nullptr};
    }
    for (const std::string& path : candidatePaths(library, reg)) {
        if (void* address = findExport(path, function)) return Resolved{nullptr, address};
    }
    return std::nullopt;
}

[[noreturn]] void raiseNotFound(const std::string& library, const std::string& function) {
    if (library.empty()) raiseRuntimeError(0, "无法找到指定DLL库文件中的输出命令“" + function + "”");
    raiseRuntimeError(0, "无法找到指定DLL库文件“" + library + "”中的输出命令“" + function + "”");
}

Resolved lookUp(const std::string& library, const std::string& function) {
    Registry& reg = registry();
    std::optional<Resolved> resolved;
    {
        std::lock_guard lock(reg.mutex);
        const auto key = std::make_pair(library, function);
        if (auto it = reg.cache.find(key); it != reg.cache.end()) return it->second;
        resolved = resolve(library, function, reg);
        if (resolved) reg.cache.emplace(key, *resolved);
    }
    if (!resolved) raiseNotFound(library, function);
    return *resolved;
}

// The C calling convention's view of an argument: an integer or a pointer.
Word toWord(const Value& value) {
    return std::visit(
        [](const auto& v) -> Word {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return reinterpret_cast<Word>(v.c_str());
            } else if constexpr (std::is_same_v<T, ByteSet>) {
                return reinterpret_cast<Word>(v.data());
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? 1 : 0;
            } else if constexpr (std::is_integral_v<T>) {
                return static_cast<Word>(v);
            } else if constexpr (std::is_same_v<T, Subroutine>) {
                return static_cast<Word>(v.address);
            } else {
                raiseRuntimeError(runtime_error_code::kArgumentType);
            }
        },
        value.storage());
}

std::int32_t callAddress(void* address, const std::vector<Word>& a) {
    // Integer and pointer arguments travel the same way whatever their declared C type,
    // so one function-pointer type per argument count covers every declaration we accept.
    switch (a.size()) {
        case 0:
            return reinterpret_cast<int (*)()>(address)();
        case 1:
            return reinterpret_cast<int (*)(Word)>(address)(a[0]);
        case 2:
            return reinterpret_cast<int (*)(Word, Word)>(address)(a[0], a[1]);
        case 3:
            return reinterpret_cast<int (*)(Word, Word, Word)>(address)(a[0], a[1], a[2]);
        case 4:
            return reinterpret_cast<int (*)(Word, Word, Word, Word)>(address)(a[0], a[1], a[2], a[3]);
        case 5:
            return reinterpret_cast<int (*)(Word, Word, Word, Word, Word)>(address)(a[0], a[1], a[2], a[3],
                                                                                    a[4]);
        default:
            return reinterpret_cast<int (*)(Word, Word, Word, Word, Word, Word)>(address)(a[0], a[1], a[2],
                                                                                          a[3], a[4], a[5]);
    }
}

}  // namespace

std::int32_t callDeclaredFunction(std::string_view library, std::string_view function,
                                  const std::vector<Value>& arguments) {
    const Resolved resolved = lookUp(std::string(library), std::string(function));
    if (arguments.size() > kMaxArguments) raiseRuntimeError(runtime_error_code::kArgumentType);
    std::vector<Word> words;
    words.reserve(arguments.size());
    for (const Value& argument : arguments) words.push_back(toWord(argument));
    return resolved.builtin ? resolved.builtin(words) : callAddress(resolved.address, words);
}

void setDeclaredLibraryDirectories(std::string first, std::string second) {
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.firstDirectory = std::move(first);
    reg.secondDirectory = std::move(second);
}

}  // namespace vex
