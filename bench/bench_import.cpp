// Import and export of the confirmed library: 100,000 rows read, checked and
// stored in one transaction, side by side with the store's bulk add of the same
// records without reading or checking anything.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/support/bench_table.h"
#include "flow/library_exchange.h"
#include "library/signature_store.h"
#include "library/store.h"
#include "runtime/sqlite.h"

namespace {

std::vector<vex::StoredSignature> makeRecords(std::size_t count) {
    std::mt19937_64 random(11);
    static const char* types[] = {"exe", "png", "jpg", "pdf", "zip", "无类型", "dll", "so"};
    std::vector<vex::StoredSignature> records;
    records.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        char signature[40];  // room for any row number; the value is cut to `digits` below
        // Distinct values of 8 to 20 digits: the row number keeps them apart.
        std::snprintf(signature, sizeof signature, "%08zX%012llX", i,
                      static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
        const std::size_t digits = 8 + random() % 13;
        records.push_back({types[random() % 8], std::string(signature, digits)});
    }
    return records;
}

std::string freshFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vexorin-bench-XXXXXX").string();
    return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t rows = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    const std::vector<vex::StoredSignature> records = makeRecords(rows);
    const std::string csv = vex::writeExchange(records, vex::ExchangeFormat::Csv);
    const std::string json = vex::writeExchange(records, vex::ExchangeFormat::Json);
    const std::string root = freshFolder();
    int round = 0;
    auto emptyLibrary = [&] {
        const std::string folder = root + "/" + std::to_string(round++);
        std::filesystem::create_directories(folder);
        vex::ensureStoreExists(folder + "/data.mdb");
        return vex::DataDirectory(folder);
    };

    const double bare = vex::bench::medianSeconds(3, [&] {
        const vex::DataDirectory data = emptyLibrary();
        auto store = vex::SignatureStore::open(data.libraryPath());
        std::vector<std::optional<std::string>> held;
        if (!store || !store->addAll(records, held)) std::fprintf(stderr, "bare insert failed\n");
    });
    // On a shared machine wall time includes waiting for a core; the CPU time of the one thread shows the
    // work.
    double cpuSeconds = 0;
    auto importTime = [&](const std::string& text, vex::ExchangeFormat format) {
        std::vector<double> cpu;
        const double wall = vex::bench::medianSeconds(3, [&] {
            const vex::DataDirectory data = emptyLibrary();
            const std::clock_t started = std::clock();
            const vex::ImportOutcome outcome = vex::importConfirmed(data, text, format, false);
            cpu.push_back(static_cast<double>(std::clock() - started) / CLOCKS_PER_SEC);
            if (outcome.added.size() != rows)
                std::fprintf(stderr, "import failed: %s\n", outcome.error.c_str());
        });
        std::sort(cpu.begin(), cpu.end());
        cpuSeconds = cpu[cpu.size() / 2];
        return wall;
    };
    const double csvImport = importTime(csv, vex::ExchangeFormat::Csv);
    const double csvCpu = cpuSeconds;
    const double jsonImport = importTime(json, vex::ExchangeFormat::Json);
    const double jsonCpu = cpuSeconds;
    const vex::DataDirectory full = emptyLibrary();
    vex::importConfirmed(full, csv, vex::ExchangeFormat::Csv, false);
    const double again = vex::bench::medianSeconds(3, [&] {
        const vex::ImportOutcome outcome = vex::importConfirmed(full, csv, vex::ExchangeFormat::Csv, false);
        if (outcome.skipped != rows) std::fprintf(stderr, "second import stored something\n");
    });
    const double exported = vex::bench::medianSeconds(3, [&] {
        if (vex::exportConfirmed(full, vex::ExchangeFormat::Csv, "").text.size() != csv.size())
            std::fprintf(stderr, "export differs\n");
    });
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);

    const double perRow = 1e6 / static_cast<double>(rows);
    std::printf(
        "%zu rows; whole import: CSV %.2f s (CPU %.2f s), JSON %.2f s (CPU %.2f s); goal: under 2 s\n", rows,
        csvImport, csvCpu, jsonImport, jsonCpu);
    vex::bench::printTable(
        "Import and export of the confirmed library",
        {
            {"the store's bulk add alone (no reading, no checks)", bare * perRow, 1.0, "baseline"},
            {"import CSV into an empty library", csvImport * perRow, csvImport / bare, "whole < 2 s"},
            {"import JSON into an empty library", jsonImport * perRow, jsonImport / bare, "whole < 2 s"},
            {"import CSV again (every row skipped)", again * perRow, again / bare, ""},
            {"export CSV", exported * perRow, exported / bare, ""},
        });
    return 0;
}
