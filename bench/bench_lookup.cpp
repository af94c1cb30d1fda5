// Longest-prefix lookup against a bare open/read(10)/close loop over the same files, in one run.
// Usage: bench_lookup [FILE_COUNT]
//
// A drop's look-ups go through one LookupSession (the library read once, then
// an in-memory index); its cost per file includes reading the library,
// spread over the drop. The single-call LookupFileType (one opening and up to
// 17 queries per file) is shown on a few files for comparison.
//
// A second table sets the look-up with its details (digits, record,
// alternatives from the library and from sampled files) beside the plain one,
// on the same session and signatures, measured in alternating rounds.

#include <cstdlib>
#include <functional>
#include <random>
#include <tuple>

#include "bench/support/bench_table.h"
#include "ident/signature.h"
#include "library/signature_store.h"
#include "library/store.h"
#include "library/store_schema.h"
#include "runtime/external_database.h"
#include "runtime/sqlite.h"

namespace {

// A library of `records` signatures: a quarter taken from the sample files
// (cut to a random prefix length, as a user confirms typical headers), the
// rest random, so look-ups both hit and miss.
bool writeLibrary(const std::string& path, int records, const std::vector<std::string>& signatures) {
    std::filesystem::remove(path);
    if (vex::ensureStoreExists(path).outcome != vex::StoreCreation::Written) return false;
    auto db = vex::sqlite::Database::open(path, vex::sqlite::OpenMode::ReadWrite);
    if (!db || !db->execute("begin")) return false;
    namespace schema = vex::store_schema;
    std::string sql = "insert into \"" + std::string(schema::kTable) + "\" (\"" +
                      std::string(schema::kFileTypeColumn) + "\"";
    for (int n = vex::kShortestPrefix; n <= vex::kLongestPrefix; ++n)
        sql += ", \"" + schema::signatureColumnName(n) + "\"";
    sql += ") values (?";
    for (int n = vex::kShortestPrefix; n <= vex::kLongestPrefix; ++n) sql += ", ?";
    sql += ")";
    auto insert = vex::sqlite::Statement::prepare(*db, sql);
    if (!insert) return false;
    std::mt19937 random(7);
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (int i = 0; i < records; ++i) {
        std::string value;
        if (i % 4 == 0 && !signatures.empty()) {
            value = signatures[random() % signatures.size()].substr(0, 4 + random() % 17);
        } else {
            for (int d = 0; d < 20; ++d) value += kHex[random() % 16];
        }
        insert->reset();
        insert->bindText(1, "t" + std::to_string(i));
        for (int n = vex::kShortestPrefix, index = 2; n <= vex::kLongestPrefix; ++n, ++index)
            insert->bindText(index, vex::signaturePrefix(value, n));
        if (insert->step() != vex::sqlite::StepResult::Done) return false;
    }
    return db->execute("commit");
}

// The experiment library of a drop: half the files, sampled under a few classes.
std::vector<std::pair<std::string, std::string>> samplesOf(const std::vector<std::string>& signatures) {
    std::vector<std::pair<std::string, std::string>> samples;
    for (std::size_t i = 0; i < signatures.size(); i += 2)
        samples.emplace_back(signatures[i], "c" + std::to_string(i % 7));
    return samples;
}

// Per-file seconds of `plain` and `detailed`, each the median of rounds taken in turn, so
// that a change in the machine's load falls on both alike.
std::pair<double, double> sideBySide(const std::function<void()>& plain,
                                     const std::function<void()>& detailed, std::size_t files) {
    std::vector<double> plainTimes, detailedTimes;
    for (int round = 0; round < 15; ++round) {
        plainTimes.push_back(vex::bench::medianSeconds(1, plain));
        detailedTimes.push_back(vex::bench::medianSeconds(1, detailed));
    }
    auto median = [files](std::vector<double>& times) {
        std::sort(times.begin(), times.end());
        return times[times.size() / 2] / static_cast<double>(files) * 1e6;
    };
    return {median(plainTimes), median(detailedTimes)};
}

void compareDetails(const std::string& library, int records, const std::vector<std::string>& signatures,
                    std::vector<vex::bench::TableRow>& rows) {
    using vex::bench::TableRow;
    const auto samples = samplesOf(signatures);
    const std::string size = std::to_string(records) + " records";
    long sink = 0;
    constexpr int kPasses = 10;  // one pass over the signatures takes too short a time to measure alone
    const std::size_t looked = signatures.size() * kPasses;

    vex::LookupSession bare(library);
    vex::LookupSession sampled(library);
    for (const auto& [signature, fileClass] : samples) sampled.addSample(signature, fileClass);
    auto lookups = [&](vex::LookupSession& session) {
        return [&] {
            for (int pass = 0; pass < kPasses; ++pass)
                for (const std::string& signature : signatures)
                    sink += static_cast<long>(session.lookup(signature).size());
        };
    };
    auto explains = [&](vex::LookupSession& session) {
        return [&] {
            for (int pass = 0; pass < kPasses; ++pass)
                for (const std::string& signature : signatures) {
                    const vex::Answer answer = session.explain(signature);
                    sink += static_cast<long>(answer.type.size()) + answer.details.digits +
                            static_cast<long>(answer.details.samples().size());
                }
        };
    };
    const auto [plain, withSamples] = sideBySide(lookups(sampled), explains(sampled), looked);
    const auto [plainAgain, libraryOnly] = sideBySide(lookups(bare), explains(bare), looked);
    rows.push_back({"look-up, " + size, plain, 1.0, "baseline"});
    rows.push_back(
        {"look-up with details, " + size + " + samples", withSamples, withSamples / plain, "<= 1.10x"});
    rows.push_back(
        {"look-up with details, " + size + " alone", libraryOnly, libraryOnly / plainAgain, "<= 1.10x"});

    auto plainDrop = [&] {
        vex::LookupSession session(library);
        for (const std::string& signature : signatures)
            sink += static_cast<long>(session.lookup(signature).size());
    };
    auto detailedDrop = [&] {
        vex::LookupSession session(library);
        for (const auto& [signature, fileClass] : samples) session.addSample(signature, fileClass);
        for (const std::string& signature : signatures) sink += session.explain(signature).details.digits;
    };
    const auto [dropPlain, dropDetailed] = sideBySide(plainDrop, detailedDrop, signatures.size());
    rows.push_back({"drop: library read + look-ups, " + size, dropPlain, 1.0, "baseline"});
    rows.push_back({"drop with details: + " + std::to_string(samples.size()) + " samples indexed",
                    dropDetailed, dropDetailed / dropPlain, "report"});
    if (sink == 42) std::printf(" ");  // keep the work observable
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vex::bench;
    const int count = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int plainCount = std::min(count, 200);
    SampleFiles files(count);
    const auto& paths = files.paths();
    std::vector<std::string> signatures;
    signatures.reserve(paths.size());
    for (const std::string& path : paths) signatures.push_back(vex::ReadSignatureValue(path));
    const std::vector<std::string> plainSignatures(signatures.begin(), signatures.begin() + plainCount);

    long sink = 0;
    auto bare = [&] { sink += bareHeaderReadLoop(paths); };
    bare();  // warm the page cache
    double bareTotal = 0;
    for (int round = 0; round < 5; ++round) bareTotal += medianSeconds(3, bare);
    const double barePerFile = bareTotal / 5 / count * 1e6;

    std::vector<TableRow> rows{{"bare open/read(10)/close", barePerFile, 1.0, "baseline"}};
    std::vector<std::tuple<int, double, double>> readMsByRecords;
    std::vector<TableRow> detailRows;
    const std::string library = files.folder() + "/data.mdb";
    for (int records : {1000, 10000}) {
        if (!writeLibrary(library, records, signatures)) {
            std::fprintf(stderr, "bench_lookup: cannot write the library %s\n", library.c_str());
            return 1;
        }
        const std::string size = std::to_string(records);
        vex::ExternalDatabase unit(1);

        auto drop = [&] {
            vex::LookupSession session(library);
            for (const std::string& signature : signatures)
                sink += static_cast<long>(session.lookup(signature).size());
        };
        const double dropPerFile = medianSeconds(5, drop) / count * 1e6;
        vex::LookupSession session(library);
        auto lookups = [&] {
            for (const std::string& signature : signatures)
                sink += static_cast<long>(session.lookup(signature).size());
        };
        const double lookupPerFile = medianSeconds(5, lookups) / count * 1e6;
        const double readMs =
            medianSeconds(5, [&] { vex::LookupSession fresh(library, vex::IndexFileUse::Ignore); }) * 1e3;
        const double keptMs = medianSeconds(5, [&] { vex::LookupSession kept(library); }) * 1e3;
        rows.push_back({"look-up in a LookupSession, " + size + " records", lookupPerFile,
                        lookupPerFile / barePerFile, "<= 1.00x"});
        rows.push_back({"drop: library read once + look-ups, " + size + " records", dropPerFile,
                        dropPerFile / barePerFile, "<= 1.00x"});
        readMsByRecords.push_back({records, readMs, keptMs});

        auto plain = [&] {
            for (const std::string& signature : plainSignatures)
                sink += static_cast<long>(vex::LookupFileType(unit, library, signature).size());
        };
        const double plainPerFile = medianSeconds(1, plain) / plainCount * 1e6;
        rows.push_back({"LookupFileType per call, " + size + " records", plainPerFile,
                        plainPerFile / barePerFile, "single look-ups only"});
        compareDetails(library, records, signatures, detailRows);
    }
    printTable("Longest-prefix lookup over " + std::to_string(count) + " files (per-file cost)", rows);
    printTable("Look-up with details beside the plain look-up (same signatures, alternating rounds)",
               detailRows);
    for (const auto& [records, ms, keptMs] : readMsByRecords)
        std::printf(
            "reading a library of %d records into a LookupSession: %.1f ms per drop; %.1f ms from the "
            "index kept beside it\n",
            records, ms, keptMs);
    return sink == 42 ? 1 : 0;  // keep the work observable
}
