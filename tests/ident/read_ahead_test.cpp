#include "ident/read_ahead.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "ident/uring_reads.h"
#include "tests/support/run_unprivileged.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

using test::TempDir;

// Every kind of path a drop can hold, made once; regular files of random sizes are added as they are drawn.
class PathKinds {
public:
    PathKinds() {
        std::filesystem::create_directory(dir_.file("folder"));
        std::filesystem::create_directory(dir_.file("closed"));
        ::chmod(dir_.file("closed").c_str(), 0);
        ::mkfifo(dir_.file("fifo").c_str(), 0600);
        ::mkfifo(dir_.file("fifo-with-writer").c_str(), 0600);
        fifoReader_ = ::open(dir_.file("fifo-with-writer").c_str(), O_RDONLY | O_NONBLOCK);
        fifoWriter_ = ::open(dir_.file("fifo-with-writer").c_str(), O_WRONLY | O_NONBLOCK);
        (void)!::write(fifoWriter_, "0123456789abcdef", 16);  // bytes waiting: still no file's header
        socket_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        dir_.file("socket").copy(address.sun_path, sizeof(address.sun_path) - 1);
        (void)!::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        const std::string file = dir_.write("ten", "0123456789");
        ::chmod(dir_.write("no-permission", "0123456789abc").c_str(), 0);
        std::filesystem::create_symlink(file, dir_.file("link"));
        std::filesystem::create_symlink(dir_.file("folder"), dir_.file("folder-link"));
        std::filesystem::create_symlink(dir_.file("gone"), dir_.file("dangling"));
        std::filesystem::create_symlink(dir_.file("loop"), dir_.file("loop"));
        fixed_ = {file,
                  dir_.file("folder"),
                  dir_.file("closed"),
                  dir_.file("fifo"),
                  dir_.file("fifo-with-writer"),
                  dir_.file("socket"),
                  dir_.file("no-permission"),
                  dir_.file("link"),
                  dir_.file("folder-link"),
                  dir_.file("dangling"),
                  dir_.file("loop"),
                  dir_.file("missing"),
                  file + "/below-a-file",
                  file + "/",
                  dir_.file(std::string(300, 'n')),
                  "/dev/null",
                  ""};
    }
    ~PathKinds() {
        ::close(fifoWriter_);
        ::close(fifoReader_);
        ::close(socket_);
    }
    PathKinds(const PathKinds&) = delete;
    PathKinds& operator=(const PathKinds&) = delete;

    const TempDir& folder() const { return dir_; }

    // `count` paths: mostly regular files from empty to 8 KiB, the rest drawn from the kinds above.
    std::vector<std::string> draw(std::size_t count, std::mt19937& random) {
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < count; ++i) {
            if (random() % 3 == 0) {
                paths.push_back(fixed_[random() % fixed_.size()]);
                continue;
            }
            const std::size_t size = random() % 4 == 0 ? random() % 12 : random() % 8192;
            std::string bytes(size, '\0');
            for (char& byte : bytes) byte = static_cast<char>(random());
            paths.push_back(dir_.write("f" + std::to_string(files_++), bytes));
        }
        return paths;
    }

private:
    TempDir dir_;
    std::vector<std::string> fixed_;
    std::size_t files_ = 0;
    int fifoReader_ = -1;
    int fifoWriter_ = -1;
    int socket_ = -1;
};

std::size_t openDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

struct Readers {
    const char* name;
    ReadAheadOptions options;
    ReadAhead::Reading expected;
};

void PrintTo(const Readers& readers, std::ostream* out) { *out << readers.name; }

ReadAheadOptions optionsOf(ReadAheadOptions::Reader reader, unsigned count, std::size_t window) {
    ReadAheadOptions options;
    options.reader = reader;
    options.threads = count;
    options.inFlight = count;
    options.window = window;
    return options;
}

class ReadAheadWith : public testing::TestWithParam<Readers> {
protected:
    void SetUp() override {
        if (GetParam().expected == ReadAhead::Reading::Uring && !UringReads::create(1))
            GTEST_SKIP() << "the kernel refuses io_uring here; the thread readers stand in for it";
    }
};

// The first index where ReadAhead and examining each path in turn disagree, or paths.size().
std::size_t firstDifference(const std::vector<std::string>& paths, const ReadAheadOptions& options) {
    ReadAhead reads(paths, options);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const ExaminedPath expected = examineDroppedPath(paths[i]);
        const ExaminedPath got = reads.take(i);
        if (got.isDirectory != expected.isDirectory || got.signature != expected.signature ||
            got.missing != expected.missing)
            return i;
    }
    return paths.size();
}

TEST_P(ReadAheadWith, givesWhatReadingEachPathInOrderGives) {
    PathKinds kinds;
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (std::size_t count : {std::size_t{0}, std::size_t{1}, ReadAhead::kThreadedFrom - 1,
                              ReadAhead::kThreadedFrom, std::size_t{3000}}) {
        const std::vector<std::string> paths = kinds.draw(count, random);
        const std::size_t differs = firstDifference(paths, GetParam().options);
        ASSERT_EQ(differs, paths.size()) << "first at " << paths[differs];
    }
    EXPECT_EQ(ReadAhead(kinds.draw(ReadAhead::kThreadedFrom, random), GetParam().options).reading(),
              GetParam().expected);
    // Without root's power over permission bits, unreadable files and folders take paths of their own.
    const std::vector<std::string> paths = kinds.draw(1000, random);
    EXPECT_TRUE(test::runUnprivileged(
        kinds.folder(), [&] { return firstDifference(paths, GetParam().options) == paths.size(); }));
}

TEST_P(ReadAheadWith, stopsQuietlyWhenTheCallerGivesUpEarly) {
    PathKinds kinds;
    std::mt19937 random(7);
    const std::vector<std::string> paths = kinds.draw(5000, random);
    const std::size_t descriptorsBefore = openDescriptors();
    for (std::size_t taken : {0, 1, 40, 2500}) {
        ReadAhead reads(paths, GetParam().options);
        for (std::size_t i = 0; i < taken; ++i) reads.take(i);
    }  // each destructor must stop the readers and return, not read all 5,000 paths first or hang
    EXPECT_EQ(openDescriptors(), descriptorsBefore) << "a reader left files open";
}

using Reader = ReadAheadOptions::Reader;
INSTANTIATE_TEST_SUITE_P(
    Readers, ReadAheadWith,
    testing::Values(Readers{"uring", optionsOf(Reader::Automatic, 128, 4096), ReadAhead::Reading::Uring},
                    // Few requests in a small window: slots are reused and the reader waits for the caller.
                    Readers{"uringNarrow", optionsOf(Reader::Automatic, 3, 5), ReadAhead::Reading::Uring},
                    Readers{"threads", optionsOf(Reader::Threads, 16, 4096), ReadAhead::Reading::Threads},
                    Readers{"threadsNarrow", optionsOf(Reader::Threads, 4, 3), ReadAhead::Reading::Threads}),
    [](const testing::TestParamInfo<Readers>& info) { return info.param.name; });

}  // namespace
}  // namespace vex
