#include "library/store_generations.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "library/store_schema.h"
#include "runtime/atomic_file.h"
#include "runtime/sqlite.h"

namespace vex {
namespace {

namespace fs = std::filesystem;

// "2025-03-01_14-02-09.311": sorts as the times do, and holds no character a shell or file manager minds.
std::string timeName(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    // Room for any int in every field, so the compiler can prove nothing is cut.
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d_%02d-%02d-%02d.%03d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(millis));
    return text;
}

bool isTimeName(const std::string& name) {
    static const std::string shape = "0000-00-00_00-00-00.000";
    if (name.size() != shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == '0' ? !std::isdigit(static_cast<unsigned char>(name[i])) : name[i] != shape[i])
            return false;
    return true;
}

bool readFile(const std::string& path, std::string& content) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::ostringstream buffer;
    buffer << file.rdbuf();
    content = buffer.str();
    return !file.bad();
}

// Only when the table can be read and is empty: a store of another shape is kept whole.
bool holdsNoRecord(const std::string& path) {
    auto database = sqlite::Database::open(path, sqlite::OpenMode::ReadOnly);
    if (!database) return false;
    auto select = sqlite::Statement::prepare(
        *database, "select 1 from " + sqlite::quoteIdentifier(store_schema::kTable) + " limit 1");
    return select && select->step() == sqlite::StepResult::Done;
}

}  // namespace

std::vector<StoreGeneration> StoreGenerations::list() const {
    std::vector<StoreGeneration> generations;
    const fs::path store(storePath_);
    const std::string prefix = store.filename().string() + ".";
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(store.parent_path(), error)) {
        const std::string file = entry.path().filename().string();
        if (file.rfind(prefix, 0) != 0 || !isTimeName(file.substr(prefix.size()))) continue;
        std::error_code sizeError;
        if (!entry.is_regular_file(sizeError)) continue;
        generations.push_back(
            {file.substr(prefix.size()), entry.path().string(), entry.file_size(sizeError)});
    }
    std::sort(generations.begin(), generations.end(),
              [](const StoreGeneration& a, const StoreGeneration& b) { return a.name > b.name; });
    return generations;
}

std::string StoreGenerations::copyInto(const std::string& from, const std::string& to) const {
    if (format_ == StoreFormat::ListFile) {
        std::string content;
        if (!readFile(from, content)) return "cannot read '" + from + "'";
        return saveFileAtomically(to, content);
    }
    // A database is copied page by page inside SQLite, into a scratch file first:
    // a crash in the middle leaves no generation that looks whole.
    std::string error;
    auto source = sqlite::Database::open(from, sqlite::OpenMode::ReadOnly, &error);
    if (!source) return error;
    const std::string scratch = to + ".part";
    ::unlink(scratch.c_str());
    bool copied = false;
    {
        auto destination = sqlite::Database::open(scratch, sqlite::OpenMode::ReadWriteCreate, &error);
        copied = destination && sqlite::copyDatabase(*source, *destination, &error);
    }
    if (copied && std::rename(scratch.c_str(), to.c_str()) != 0) {
        error = "cannot name the copy '" + to + "'";
        copied = false;
    }
    if (!copied) ::unlink(scratch.c_str());
    return copied ? std::string() : error;
}

std::string StoreGenerations::keep() const { return keepSparing({}); }

std::string StoreGenerations::keepSparing(const std::string& spared) const {
    struct stat status {};
    if (::stat(storePath_.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size == 0)
        return {};
    // An empty library is nothing to lose; a copy of it would only push an earlier, full one out.
    if (format_ == StoreFormat::Database && holdsNoRecord(storePath_)) return {};
    auto when = std::chrono::system_clock::now();
    std::string target;
    // Two changes in one millisecond get two names.
    for (int attempt = 0; attempt < 1000; ++attempt, when += std::chrono::milliseconds(1)) {
        target = storePath_ + "." + timeName(when);
        if (!fs::exists(target)) break;
    }
    if (std::string error = copyInto(storePath_, target); !error.empty())
        return "Cannot keep a copy of '" + storePath_ + "' to restore it from. Reason: " + error;
    const std::vector<StoreGeneration> generations = list();
    for (std::size_t i = kKeptGenerations; i < generations.size(); ++i)
        if (generations[i].path != spared) ::unlink(generations[i].path.c_str());
    return {};
}

std::string StoreGenerations::restore(const std::string& name, std::string* restored) const {
    const std::vector<StoreGeneration> generations = list();
    if (generations.empty()) return "There is no earlier generation of '" + storePath_ + "' to restore.";
    auto chosen = generations.begin();
    if (!name.empty()) {
        chosen = std::find_if(generations.begin(), generations.end(),
                              [&](const StoreGeneration& generation) { return generation.name == name; });
        if (chosen == generations.end())
            return "There is no generation '" + name + "' of '" + storePath_ +
                   "'; see the list of generations.";
    }
    const StoreGeneration generation = *chosen;
    // The generation being restored may be the oldest, which keeping one more would drop.
    if (std::string error = keepSparing(generation.path); !error.empty()) return error;
    std::string error;
    if (format_ == StoreFormat::ListFile) {
        std::string content;
        if (!readFile(generation.path, content)) return "Cannot read '" + generation.path + "'.";
        error = saveFileAtomically(storePath_, content);
    } else {
        // Into the live file, as one transaction: another program with the
        // library open sees the old or the restored library, never a mix.
        auto source = sqlite::Database::open(generation.path, sqlite::OpenMode::ReadOnly, &error);
        auto destination =
            source ? sqlite::Database::open(storePath_, sqlite::OpenMode::ReadWrite, &error) : std::nullopt;
        if (destination) sqlite::copyDatabase(*source, *destination, &error);
    }
    if (!error.empty())
        return "Cannot restore '" + storePath_ + "' from '" + generation.path + "'. Reason: " + error;
    if (restored) *restored = generation.name;
    return {};
}

}  // namespace vex
