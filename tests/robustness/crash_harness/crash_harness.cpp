// Crash harness: starts vexorin-cli on long jobs (sample, identify, confirm, import,
// rename, clear) and stops it at random moments with SIGKILL, SIGTERM or SIGINT, many
// times. A stopped run either ends by the signal or exits 130 / 143 after saving. After every kill it checks
// that the stores hold exactly what completed operations wrote:
// - "set.ini" / "setok.ini" still load, every entry outside the job is unchanged, and
//   the job's own entries show either all of its work or a prefix of it, never a
//   torn or half-written entry;
// - "data.mdb" passes SQLite's integrity check, every record is whole, every
//   completed confirm is there and nothing else;
// - after a stopped rename every file exists exactly once, under its old or its new name,
//   and the identification list names it under the name it has on disk;
// - a stopped clear leaves the list either whole or empty.
// Randomness is seeded; the seed is printed so any failure can be replayed.
//
//   crash_harness --cli PATH [--kills N] [--files N] [--seed S] [--keep]

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/robustness/child_process.h"
#include "tests/robustness/store_checks.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace vex::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kRenameType = "rnm";
constexpr const char* kRenamePrefix = "5658";  // "VX", the first bytes of every harness file

struct Options {
    std::string cli;
    int kills = 100;
    int files = 2000;
    std::uint64_t seed = 0;
    bool keep = false;
};

class Failure : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

void require(bool condition, const std::string& what) {
    if (!condition) throw Failure(what);
}

std::string hexOf(const std::string& bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    require(static_cast<bool>(out), "cannot write " + path);
}

class Harness {
public:
    explicit Harness(Options options) : options_(std::move(options)), random_(options_.seed) {
        if (options_.keep) work_.keep();
        root_ = work_.path();
        data_ = root_ + "/data";
        pool_ = root_ + "/pool";
        fs::create_directories(data_);
        fs::create_directories(pool_);
        for (int i = 0; i < options_.files; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/frag%05d.chk", i);
            poolFiles_.push_back(pool_ + name);
            rewriteHeader(poolFiles_.back());
        }
    }

    int run() {
        std::cout << "crash harness: seed " << options_.seed << ", " << options_.files
                  << " files, work folder " << root_ << std::endl;
        // Every job runs once to the end first: that checks it and measures how long it takes.
        const std::vector<std::string> jobs = availableJobs();
        if (jobs.empty()) {
            std::cout << "crash harness: vexorin-cli has none of the commands sample, identify, confirm, "
                         "rename yet; "
                         "nothing to test"
                      << std::endl;
            return 0;
        }
        std::cout << "crash harness: jobs " << join(jobs) << std::endl;
        for (const std::string& job : jobs) runJob(job, false);

        int kills = 0, attempts = 0;
        const int maxAttempts = options_.kills * 4 + 20;
        while (kills < options_.kills && attempts < maxAttempts) {
            ++attempts;
            const std::string& job =
                jobs[std::uniform_int_distribution<std::size_t>(0, jobs.size() - 1)(random_)];
            if (runJob(job, true)) ++kills;
        }
        std::cout << "crash harness: " << kills << " kills survived (" << attempts << " jobs, seed "
                  << options_.seed << ")";
        for (const auto& [job, count] : killsPerJob_) std::cout << ", " << job << " " << count;
        for (const auto& [name, count] : stopsPerSignal_) std::cout << ", " << name << " " << count;
        std::cout << "; " << leftovers() << " leftover files in the data folder" << std::endl;
        return kills >= options_.kills ? 0 : 1;
    }

private:
    // ---- Running vexorin-cli.

    std::vector<std::string> cliArgs(const std::vector<std::string>& args) const {
        std::vector<std::string> argv{options_.cli, "--data-dir", data_};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }

    ChildResult cli(const std::vector<std::string>& args) {
        return runChild(cliArgs(args), {.timeout = std::chrono::minutes(5)});
    }

    ChildResult cliOk(const std::vector<std::string>& args) {
        ChildResult result = cli(args);
        require(result.exitCode == 0 && !result.timedOut,
                "vexorin-cli " + join(args).substr(0, 200) + " failed: exit " +
                    std::to_string(result.exitCode) + ", signal " + std::to_string(result.signal) + ": " +
                    result.err.substr(0, 500));
        return result;
    }

    bool hasCommand(const std::string& command) {
        const ChildResult result = cli({command});
        return result.signal == 0 && !result.timedOut &&
               result.err.find("not available yet") == std::string::npos;
    }

    std::vector<std::string> availableJobs() {
        std::vector<std::string> jobs;
        if (hasCommand("sample") && hasCommand("experiments")) jobs.push_back("sample");
        if (hasCommand("identify") && hasCommand("results")) jobs.push_back("identify");
        if (hasCommand("confirm")) jobs.push_back("confirm");
        if (hasCommand("library") && cli({"library", "import", "--help"}).exitCode == 0)
            jobs.push_back("import");
        if (hasCommand("confirm") && hasCommand("identify") && hasCommand("rename") && hasCommand("results"))
            jobs.push_back("rename");
        if (hasCommand("sample") && hasCommand("identify") && hasCommand("experiments") &&
            hasCommand("results"))
            jobs.push_back("clear");
        return jobs;
    }

    // Stops a running child with SIGKILL, SIGTERM or SIGINT, chosen at random. A child asked
    // to stop must end within a minute, by the signal or with 128 + its number (it saved its
    // work first); exit 0 means it finished before the signal came. Returns whether it was
    // stopped while running.
    bool stop(Child& child, const std::string& job) {
        static constexpr std::pair<int, const char*> kSignals[] = {
            {SIGKILL, "KILL"}, {SIGTERM, "TERM"}, {SIGINT, "INT"}};
        const auto& [number, name] = kSignals[std::uniform_int_distribution<int>(0, 2)(random_)];
        bool stopped = false;
        if (number == SIGKILL) {
            stopped = child.kill();
        } else {
            stopped = child.signal(number);
            const auto ended = child.waitUntil(Clock::now() + std::chrono::minutes(1));
            if (!ended) child.kill();
            require(ended.has_value(), job + ": still running a minute after SIG" + name);
            require(ended->signal == number || ended->exitCode == 128 + number || ended->exitCode == 0,
                    job + ": after SIG" + name + " it ended with exit code " +
                        std::to_string(ended->exitCode) + ", signal " + std::to_string(ended->signal));
            stopped = stopped && ended->exitCode != 0;
        }
        if (stopped) ++stopsPerSignal_[name];
        return stopped;
    }

    // Runs `argv`; with `kill`, stops it (see stop) at a random moment within the job's usual
    // duration. Returns whether the child was stopped while it was still running.
    bool runMaybeKilled(const std::string& job, const std::vector<std::string>& args, bool kill) {
        const auto started = Clock::now();
        Child child(cliArgs(args));
        require(child.started(), "cannot start vexorin-cli");
        if (!kill) {
            const ChildResult result = child.wait();
            require(result.exitCode == 0,
                    job + ": the uninterrupted job failed with exit code " + std::to_string(result.exitCode));
            duration_[job] = std::max(Clock::now() - started, Clock::duration(std::chrono::milliseconds(1)));
            return false;
        }
        const auto usual = std::chrono::duration_cast<std::chrono::microseconds>(duration_[job]);
        const auto delay = std::chrono::microseconds(
            std::uniform_int_distribution<long long>(0, usual.count() + usual.count() / 10)(random_));
        if (const auto ended = child.waitUntil(started + delay)) {
            require(ended->exitCode == 0, job + ": failed with exit code " + std::to_string(ended->exitCode));
            return false;
        }
        return stop(child, job);
    }

    // ---- The pool of files and their signature values.

    void rewriteHeader(const std::string& path) {
        std::string header = "VX";
        for (int i = 0; i < 8; ++i) header += static_cast<char>(random_() & 0xFF);
        writeFile(path, header + "fragment body");
    }

    std::vector<std::string> randomBatch(const std::vector<std::string>& from, std::size_t size) {
        std::vector<std::string> batch = from;
        std::shuffle(batch.begin(), batch.end(), random_);
        batch.resize(std::min(size, batch.size()));
        return batch;
    }

    // ---- The INI lists as the program reads them.

    struct Entry {
        std::string signature, second;
    };
    using ListState = std::map<std::string, Entry>;

    ListState listState(const std::string& command) {
        const ChildResult result = cliOk({"--json", command});
        const auto rows = parseJsonRows(result.out);
        require(rows.has_value(), command + ": the list is not a JSON array");
        ListState state;
        const std::string secondKey = command == "experiments" ? "class" : "type";
        for (const JsonRow& row : *rows) {
            require(row.count("path") && row.count("signature"),
                    command + ": a row without path or signature");
            require(!state.count(row.at("path")),
                    command + ": the path " + row.at("path") + " is listed twice");
            state[row.at("path")] = {row.at("signature"), row.count(secondKey) ? row.at(secondKey) : ""};
        }
        return state;
    }

    // Entries outside the batch must be unchanged; the batch must show a prefix of the work.
    void checkPrefix(const std::string& list, const ListState& before, const ListState& after,
                     const std::vector<std::string>& batch,
                     const std::map<std::string, std::string>& newSignature) {
        std::set<std::string> inBatch(batch.begin(), batch.end());
        for (const auto& [path, entry] : before) {
            if (inBatch.count(path)) continue;
            const auto it = after.find(path);
            require(it != after.end(), list + ": the earlier entry " + path + " was lost");
            require(it->second.signature == entry.signature && it->second.second == entry.second,
                    list + ": the earlier entry " + path + " changed");
        }
        for (const auto& [path, entry] : after)
            require(before.count(path) || inBatch.count(path), list + ": an entry nobody wrote: " + path);
        bool doneSoFar = true;
        for (const std::string& path : batch) {
            const auto now = after.find(path);
            const auto old = before.find(path);
            const bool done = now != after.end() && now->second.signature == newSignature.at(path);
            const bool untouched = old == before.end()
                                       ? now == after.end()
                                       : now != after.end() && now->second.signature == old->second.signature;
            require(done || untouched, list + ": the entry " + path + " is torn");
            if (done && !untouched)
                require(doneSoFar, list + ": the entries written are not a prefix of the job");
            if (!done) doneSoFar = false;
        }
    }

    // ---- Jobs. Each returns whether vexorin-cli was killed during it.

    bool runJob(const std::string& job, bool kill) {
        bool killed = false;
        try {
            if (job == "sample") killed = sampleOrIdentify("sample", "experiments", kill);
            if (job == "identify") killed = sampleOrIdentify("identify", "results", kill);
            if (job == "confirm") killed = confirmMany(kill);
            if (job == "import") killed = importMany(kill);
            if (job == "rename") killed = renameMany(kill);
            if (job == "clear") killed = clearList(kill);
            checkDatabase();
        } catch (const Failure& failure) {
            std::cout << "crash harness: FAILED after " << (killed ? "a kill" : "a job") << " in " << job
                      << " (seed " << options_.seed << "): " << failure.what() << std::endl;
            work_.keep();
            std::cout << "crash harness: the work folder " << root_ << " is kept" << std::endl;
            std::exit(1);
        }
        if (killed) ++killsPerJob_[job];
        return killed;
    }

    bool sampleOrIdentify(const std::string& command, const std::string& list, bool kill) {
        const ListState before = listState(list);
        const std::vector<std::string> batch = randomBatch(poolFiles_, poolFiles_.size() * 3 / 4);
        std::map<std::string, std::string> newSignature;
        for (const std::string& path : batch) {
            if (std::bernoulli_distribution(0.5)(random_)) rewriteHeader(path);
            newSignature[path] = hexOf(readAll(path).substr(0, 10));
        }
        std::vector<std::string> args{command};
        args.insert(args.end(), batch.begin(), batch.end());
        const bool killed = runMaybeKilled(command, args, kill);
        checkPrefix(list, before, listState(list), batch, newSignature);
        return killed;
    }

    // Confirms new signature values one after another; the kill hits one of them.
    bool confirmMany(bool kill) {
        constexpr int kPerJob = 30;
        std::vector<std::pair<std::string, std::string>> wanted;
        for (int i = 0; i < kPerJob; ++i) {
            std::string signature = "AA";
            for (int d = 0; d < 18; ++d) signature += "0123456789ABCDEF"[random_() & 15];
            wanted.emplace_back(signature, "t" + std::to_string(confirmed_.size() + i));
        }
        const auto started = Clock::now();
        const auto usual = std::chrono::duration_cast<std::chrono::microseconds>(duration_["confirm"]);
        const auto killAt = started + std::chrono::microseconds(std::uniform_int_distribution<long long>(
                                          0, usual.count())(random_));
        bool killed = false;
        std::optional<std::pair<std::string, std::string>> interrupted;
        for (const auto& pair : wanted) {
            Child child(cliArgs({"confirm", pair.first, pair.second}));
            if (!kill) {
                require(child.wait().exitCode == 0, "confirm failed");
                confirmed_.insert(pair);
                continue;
            }
            if (const auto ended = child.waitUntil(killAt)) {
                require(ended->exitCode == 0,
                        "confirm failed with exit code " + std::to_string(ended->exitCode));
                confirmed_.insert(pair);
                continue;
            }
            killed = stop(child, "confirm");
            // Stopped or just finished: either way it may have stored its value.
            interrupted = pair;
            break;
        }
        if (!kill) duration_["confirm"] = Clock::now() - started;

        if (killed) checkLookupAfterKill();
        const auto records = confirmedRecords(data_ + "/data.mdb");
        require(records.has_value(), "data.mdb cannot be read");
        std::set<std::pair<std::string, std::string>> stored;
        for (const ConfirmedRecord& record : *records) {
            require(isWholeRecord(record), "a record is not whole");
            const auto longest = record.prefixes.find(20);
            stored.emplace(longest == record.prefixes.end() ? "" : longest->second, record.type);
        }
        if (interrupted && stored.count(*interrupted)) confirmed_.insert(*interrupted);
        require(stored == confirmed_, "data.mdb holds " + std::to_string(stored.size()) + " records, " +
                                          std::to_string(confirmed_.size()) + " confirms completed");
        return killed;
    }

    // Imports a file of new values, all in one transaction; the kill may hit it. The library
    // then holds the whole file or none of it, beside everything confirmed before.
    bool importMany(bool kill) {
        const std::size_t rows = static_cast<std::size_t>(std::max(2000, options_.files * 5));
        const std::string type = "i" + std::to_string(importRound_++);
        std::set<std::pair<std::string, std::string>> wanted;
        std::string csv = "signature,type\n";
        while (wanted.size() < rows) {
            std::string signature = "BB";
            for (int d = 0; d < 18; ++d) signature += "0123456789ABCDEF"[random_() & 15];
            if (wanted.emplace(signature, type).second) csv += signature + "," + type + "\n";
        }
        const std::string file = root_ + "/import.csv";
        writeFile(file, csv);
        const bool killed = runMaybeKilled("import", {"-q", "library", "import", file}, kill);

        const auto records = confirmedRecords(data_ + "/data.mdb");
        require(records.has_value(), "data.mdb cannot be read");
        std::set<std::pair<std::string, std::string>> stored, added;
        for (const ConfirmedRecord& record : *records) {
            require(isWholeRecord(record), "a record is not whole");
            const auto longest = record.prefixes.find(20);
            stored.emplace(longest == record.prefixes.end() ? "" : longest->second, record.type);
        }
        for (const auto& pair : confirmed_)
            require(stored.count(pair), "an earlier record was lost: " + pair.first);
        for (const auto& pair : stored)
            if (!confirmed_.count(pair)) added.insert(pair);
        require(added.empty() || added == wanted, "the import stored " + std::to_string(added.size()) +
                                                      " of " + std::to_string(wanted.size()) +
                                                      " rows: not all or nothing");
        confirmed_.insert(added.begin(), added.end());
        return killed;
    }

    // Right after a kill, before anything else opens the store: identification (which
    // only reads) must still find the type of a signature confirmed earlier.
    void checkLookupAfterKill() {
        std::vector<std::pair<std::string, std::string>> candidates;
        for (const auto& pair : confirmed_)
            if (pair.first.size() == 20) candidates.push_back(pair);
        if (candidates.empty()) return;
        const auto& [signature, type] =
            candidates[std::uniform_int_distribution<std::size_t>(0, candidates.size() - 1)(random_)];
        std::string header;
        for (std::size_t i = 0; i < 20; i += 2)
            header += static_cast<char>(std::stoi(signature.substr(i, 2), nullptr, 16));
        const std::string probe = root_ + "/probe.bin";
        writeFile(probe, header);
        const ChildResult result = cliOk({"identify", probe});
        require(result.out.rfind(type + "\t", 0) == 0, "after a kill, identification no longer finds " +
                                                           signature + " = " + type + ": " + result.out);
        cliOk({"results", "delete", probe});
    }

    // Identifies a fresh folder of fragments, then renames them all; the kill may hit the rename.
    bool renameMany(bool kill) {
        if (!renameTypeConfirmed_) {
            cliOk({"confirm", kRenamePrefix, kRenameType});
            confirmed_.emplace(kRenamePrefix, kRenameType);
            renameTypeConfirmed_ = true;
        }
        const std::string folder = root_ + "/rename" + std::to_string(renameRound_++);
        fs::create_directories(folder);
        const int count = std::max(10, options_.files / 2);
        std::map<std::string, std::string> contentOf;  // stem -> content
        std::vector<std::string> paths;
        for (int i = 0; i < count; ++i) {
            const std::string stem = folder + "/r" + std::to_string(i);
            std::string content = "VX" + std::to_string(i) + "-" + std::to_string(random_()) + "-body";
            writeFile(stem + ".chk", content);
            contentOf[stem] = std::move(content);
            paths.push_back(stem + ".chk");
        }
        std::vector<std::string> identify{"identify"};
        identify.insert(identify.end(), paths.begin(), paths.end());
        cliOk(identify);

        std::vector<std::string> rename{"rename"};
        rename.insert(rename.end(), paths.begin(), paths.end());
        const bool killed = runMaybeKilled("rename", rename, kill);

        std::set<std::string> seen;
        for (const auto& entry : fs::directory_iterator(folder)) seen.insert(entry.path().string());
        for (const auto& [stem, content] : contentOf) {
            const bool old = seen.erase(stem + ".chk") > 0,
                       renamed = seen.erase(stem + "." + kRenameType) > 0;
            require(old != renamed, stem + (old ? " exists twice" : " is missing"));
            require(readAll(stem + (old ? ".chk" : std::string(".") + kRenameType)) == content,
                    stem + " changed");
        }
        require(seen.empty(), "the rename left a stray file: " + (seen.empty() ? "" : *seen.begin()));
        // The list follows the disk: each file is listed under the one name it has now.
        const ListState listed = listState("results");
        for (const auto& [stem, content] : contentOf) {
            const std::string now = fs::exists(stem + ".chk") ? stem + ".chk" : stem + "." + kRenameType;
            const std::string other = now == stem + ".chk" ? stem + "." + kRenameType : stem + ".chk";
            require(listed.count(now) && !listed.count(other),
                    stem + " is on disk as " + now + " but the list does not say so");
        }
        cliOk({"results", "clear"});
        fs::remove_all(folder);
        return killed;
    }

    // Fills a list, then clears it; the stop may hit the clear. The list is then whole or empty.
    bool clearList(bool kill) {
        const bool experiments = std::bernoulli_distribution(0.5)(random_);
        const std::string fill = experiments ? "sample" : "identify";
        const std::string list = experiments ? "experiments" : "results";
        std::vector<std::string> args{fill};
        const std::vector<std::string> batch = randomBatch(poolFiles_, poolFiles_.size() / 2);
        args.insert(args.end(), batch.begin(), batch.end());
        cliOk(args);
        const ListState before = listState(list);
        const bool killed = runMaybeKilled("clear", {list, "clear"}, kill);
        const ListState after = listState(list);
        require(after.empty() || after.size() == before.size(),
                list + " clear left " + std::to_string(after.size()) + " of " +
                    std::to_string(before.size()) + " entries");
        for (const auto& [path, entry] : after)
            require(before.count(path) && before.at(path).signature == entry.signature,
                    list + ": after a stopped clear the entry " + path + " changed");
        return killed;
    }

    void checkDatabase() {
        const std::string path = data_ + "/data.mdb";
        if (!fs::exists(path)) return;
        const std::string integrity = databaseIntegrity(path);
        require(integrity == "ok", "data.mdb fails the integrity check: " + integrity);
    }

    int leftovers() const {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(data_)) {
            const std::string name = entry.path().filename().string();
            if (name != "data.mdb" && name != "set.ini" && name != "setok.ini") ++count;
        }
        return count;
    }

    static std::string join(const std::vector<std::string>& parts) {
        std::string text;
        for (const std::string& part : parts) text += (text.empty() ? "" : " ") + part;
        return text;
    }

    Options options_;
    std::mt19937_64 random_;
    TempDir work_;
    std::string root_, data_, pool_;
    std::vector<std::string> poolFiles_;
    std::map<std::string, Clock::duration> duration_;
    std::map<std::string, int> killsPerJob_;
    std::map<std::string, int> stopsPerSignal_;
    std::set<std::pair<std::string, std::string>> confirmed_;
    bool renameTypeConfirmed_ = false;
    int renameRound_ = 0;
    int importRound_ = 0;
};

std::optional<Options> parseOptions(int argc, char** argv) {
    Options options;
    options.seed = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--cli" && hasValue)
            options.cli = argv[++i];
        else if (arg == "--kills" && hasValue)
            options.kills = std::atoi(argv[++i]);
        else if (arg == "--files" && hasValue)
            options.files = std::atoi(argv[++i]);
        else if (arg == "--seed" && hasValue)
            options.seed = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--keep")
            options.keep = true;
        else
            return std::nullopt;
    }
    if (options.cli.empty() || options.kills < 0 || options.files < 1) return std::nullopt;
    return options;
}

}  // namespace
}  // namespace vex::test

int main(int argc, char** argv) {
    const auto options = vex::test::parseOptions(argc, argv);
    if (!options) {
        std::cerr << "usage: crash_harness --cli PATH [--kills N] [--files N] [--seed S] [--keep]\n";
        return 2;
    }
    vex::test::Harness harness(*options);
    return harness.run();
}
