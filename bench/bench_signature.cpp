// Signature reading against a bare open/read(10)/close loop over the same files, in one run.
// Usage: bench_signature [FILE_COUNT]

#include <cstdlib>

#include "bench/support/bench_table.h"
#include "ident/signature.h"

int main(int argc, char** argv) {
    using namespace vex::bench;
    const int count = argc > 1 ? std::atoi(argv[1]) : 20000;
    SampleFiles files(count);
    const auto& paths = files.paths();

    long sink = 0;
    auto signatures = [&] {
        for (const std::string& path : paths) sink += static_cast<long>(vex::ReadSignatureValue(path).size());
    };
    auto bare = [&] { sink += bareHeaderReadLoop(paths); };
    bare();  // warm the page cache for both
    signatures();

    // Alternate the two so a noisy neighbour hurts both alike.
    double bareTotal = 0, signatureTotal = 0;
    for (int round = 0; round < 5; ++round) {
        bareTotal += medianSeconds(3, bare);
        signatureTotal += medianSeconds(3, signatures);
    }
    const double barePerFile = bareTotal / 5 / count * 1e6;
    const double signaturePerFile = signatureTotal / 5 / count * 1e6;
    printTable("ReadSignatureValue over " + std::to_string(count) + " files",
               {{"bare open/read(10)/close", barePerFile, 1.0, "baseline"},
                {"ReadSignatureValue", signaturePerFile, signaturePerFile / barePerFile, "<= 1.50x"}});
    return sink == 42 ? 1 : 0;  // keep the work observable
}
