// Hostile input: odd file names, special files, absurd paths, hand-edited INI files
// and confirmed values meant to break SQL. Nothing may crash or hang, no store may be
// damaged, no file may leave its folder or land on another one, and every input the
// program refuses must be named in its message.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "library/signature_store.h"
#include "tests/robustness/cli_runner.h"
#include "tests/robustness/store_checks.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace vex::test {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kTooShort = "无法读取，文件太短";
constexpr std::string_view kHeader("\x89PNG\r\n\x1a\n\0\x0d", 10);
const std::string kHeaderHex = "89504E470D0A1A0A000D";

// Every regular file under `root` with its content: a rename may change names, never contents or count.
std::multiset<std::string> contentsUnder(const std::string& root) {
    std::multiset<std::string> contents;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file() && entry.path().filename() != "set.ini" &&
            entry.path().filename() != "setok.ini" && entry.path().filename() != "rename.journal" &&
            entry.path().filename() != "vexorin.lock" &&
            entry.path().filename().string().rfind("data.mdb", 0) != 0)
            contents.insert(readAll(entry.path().string()));
    return contents;
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<JsonRow> listRows(const std::string& dataDir, const std::string& command) {
    const ChildResult result = runCli(dataDir, {"--json", command});
    EXPECT_EQ(result.exitCode, 0) << describe(result);
    return parseJsonRows(result.out).value_or(std::vector<JsonRow>{});
}

const JsonRow* rowWithPath(const std::vector<JsonRow>& rows, const std::string& path) {
    const std::string printed = asPrintedInJson(path);
    for (const JsonRow& row : rows)
        if (row.count("path") && row.at("path") == printed) return &row;
    return nullptr;
}

void expectSurvived(const ChildResult& result) {
    EXPECT_EQ(result.signal, 0) << describe(result);
    EXPECT_FALSE(result.timedOut) << describe(result);
}

// ---- Odd file names.

struct HostileName {
    const char* label;
    std::string name;
};

std::ostream& operator<<(std::ostream& out, const HostileName& name) { return out << name.label; }

const std::vector<HostileName> kHostileNames = {
    {"LineFeed", "line\nbreak.bin"},
    {"CarriageReturn", "carriage\rreturn.bin"},
    {"CrLf", "drop\r\ntext.bin"},
    {"ClosingBracket", "photo [1].bin"},
    {"BracketsAround", "[section].bin"},
    {"ClosingBracketOnly", "a]b.bin"},
    {"EqualsSign", "key=value.bin"},
    {"Semicolon", ";comment.bin"},
    {"Apostrophe", "it's.bin"},
    {"DoubleQuotes", "\"quoted\".bin"},
    {"LeadingBlanks", "  leading.bin"},
    {"TrailingBlanks", "trailing.bin  "},
    {"IdeographicSpaces", "\u3000wide\u3000"},
    {"Tab", "tab\there.bin"},
    {"BrokenUtf8", "broken\xff\xfe.bin"},
    {"TruncatedUtf8", "cut\xe4\xb8.bin"},
    {"Backslash", "back\\slash.bin"},
    {"PrintfDirectives", "%s%n%d.bin"},
    {"OnlyDots", "..."},
    {"DashFirst", "-rf.bin"},
    {"Chinese", "文件特征值库.bin"},
};

class HostileNames : public ::testing::TestWithParam<HostileName> {
protected:
    void SetUp() override {
        data_ = dir_.file("data");
        files_ = dir_.file("files");
        fs::create_directories(data_);
        fs::create_directories(files_);
        path_ = files_ + "/" + GetParam().name;
        writeAll(path_, std::string(kHeader) + "payload");
        // A neighbour that must survive whatever happens to the hostile file.
        writeAll(files_ + "/neighbour.bin", "neighbour content");
    }

    TempDir dir_;
    std::string data_, files_, path_;
};

TEST_P(HostileNames, signatureReadsTheFileAndNeverCrashes) {
    VEX_REQUIRE_CLI_COMMANDS("signature");
    const ChildResult result = runCli(data_, {"signature", path_});
    expectSurvived(result);
    EXPECT_EQ(result.exitCode, 0) << describe(result);
    EXPECT_EQ(result.out.substr(0, kHeaderHex.size() + 1), kHeaderHex + "\t") << describe(result);
}

// A sampled name is either listed with the file's signature value, or refused with a
// message that names it; entries recorded before stay as they were.
TEST_P(HostileNames, sampleRecordsTheFileOrNamesTheRefusal) {
    VEX_REQUIRE_CLI_COMMANDS("sample", "experiments");
    const std::string earlier = files_ + "/neighbour.bin";
    ASSERT_EQ(runCli(data_, {"sample", earlier}).exitCode, 0);

    const ChildResult result = runCli(data_, {"sample", path_});
    expectSurvived(result);
    const std::vector<JsonRow> rows = listRows(data_, "experiments");
    const JsonRow* neighbour = rowWithPath(rows, earlier);
    ASSERT_NE(neighbour, nullptr) << "an earlier entry was lost";
    EXPECT_EQ(neighbour->at("signature"), "6E65696768626F757220");

    std::string trimmed = path_;
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
    if (const JsonRow* row = rowWithPath(rows, trimmed)) {
        EXPECT_EQ(row->at("signature"), trimmed == path_ ? kHeaderHex : std::string(kTooShort));
        EXPECT_EQ(rows.size(), 2u);
    } else {
        EXPECT_EQ(rows.size(), 1u);
        EXPECT_NE(result.exitCode, 0) << "a refused file must not be reported as done\n" << describe(result);
        const std::string visible = GetParam().name.substr(0, GetParam().name.find_first_of("\r\n"));
        EXPECT_NE(result.err.find(visible), std::string::npos) << "the refusal does not name the file\n"
                                                               << describe(result);
    }
}

// Identified and renamed, a file keeps its content and its folder; the neighbour is untouched.
TEST_P(HostileNames, identifyAndRenameStayInsideTheFolder) {
    VEX_REQUIRE_CLI_COMMANDS("confirm", "identify", "results", "rename");
    ASSERT_EQ(runCli(data_, {"confirm", kHeaderHex, "png"}).exitCode, 0);
    const auto contentsBefore = contentsUnder(dir_.path());

    expectSurvived(runCli(data_, {"identify", path_}));
    const std::vector<JsonRow> rows = listRows(data_, "results");
    const ChildResult renamed = runCli(data_, {"rename", path_});
    expectSurvived(renamed);

    EXPECT_EQ(contentsUnder(dir_.path()), contentsBefore) << "a file was lost, doubled or changed";
    EXPECT_EQ(readAll(files_ + "/neighbour.bin"), "neighbour content");
    EXPECT_EQ(namesIn(dir_.path()), (std::vector<std::string>{"data", "files"})) << "a file left its folder";
    if (const JsonRow* row = rowWithPath(rows, path_); row && renamed.exitCode == 0) {
        EXPECT_EQ(row->at("type"), "png");
        EXPECT_FALSE(fs::exists(fs::symlink_status(path_))) << "reported renamed but still there";
    }
}

INSTANTIATE_TEST_SUITE_P(Robustness, HostileNames, ::testing::ValuesIn(kHostileNames),
                         [](const auto& info) { return std::string(info.param.label); });

// ---- Special files and absurd paths.

class SpecialFiles : public ::testing::Test {
protected:
    void SetUp() override {
        data_ = dir_.file("data");
        fs::create_directories(data_);
        const std::string f = dir_.file("f");
        fs::create_directories(f);
        special_ = {
            {"fifo", f + "/fifo"},
            {"socket", f + "/sock"},
            {"character device", "/dev/zero"},
            {"null device", "/dev/null"},
            {"symbolic-link loop", f + "/loop-a"},
            {"dangling link", f + "/dangling"},
            {"missing file", f + "/missing.bin"},
            {"path too long for the system", longPath(f, 5000)},
            {"empty file", f + "/empty.bin"},
        };
        ::mkfifo(special_["fifo"].c_str(), 0600);
        bindSocket(special_["socket"]);
        fs::create_symlink(f + "/loop-b", f + "/loop-a");
        fs::create_symlink(f + "/loop-a", f + "/loop-b");
        fs::create_symlink(f + "/nowhere", f + "/dangling");
        writeAll(f + "/empty.bin", "");
        // The longest path the system accepts still names a readable file.
        longFile_ = longPath(f, 4000);
        fs::create_directories(fs::path(longFile_).parent_path());
        writeAll(longFile_, std::string(kHeader));
    }

    void TearDown() override {
        if (socket_ >= 0) ::close(socket_);
    }

    // A path of exactly `length` bytes below `root`, made of 200-byte folder names.
    static std::string longPath(const std::string& root, std::size_t length) {
        std::string path = root;
        while (path.size() + 201 < length) path += "/" + std::string(200, 'd');
        path += "/" + std::string(length - path.size() - 1, 'f');
        return path;
    }

    void bindSocket(const std::string& path) {
        socket_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.size() >= sizeof address.sun_path) return;
        path.copy(address.sun_path, path.size());
        ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }

    std::vector<std::string> allPaths() const {
        std::vector<std::string> paths;
        for (const auto& [label, path] : special_) paths.push_back(path);
        paths.push_back(longFile_);
        return paths;
    }

    TempDir dir_;
    std::string data_, longFile_;
    std::map<std::string, std::string> special_;
    int socket_ = -1;
};

TEST_F(SpecialFiles, signatureAnswersAtOnceWithTheTooShortText) {
    VEX_REQUIRE_CLI_COMMANDS("signature");
    std::vector<std::string> args{"signature"};
    for (const auto& [label, path] : special_) args.push_back(path);
    args.push_back(longFile_);
    const ChildResult result = runCli(data_, args, {.timeout = std::chrono::seconds(60)});
    expectSurvived(result);
    ASSERT_EQ(result.exitCode, 0) << describe(result);
    std::istringstream lines(result.out);
    std::string line;
    for (const auto& [label, path] : special_) {
        ASSERT_TRUE(std::getline(lines, line)) << label;
        EXPECT_EQ(line.substr(0, kTooShort.size()), kTooShort) << label;
    }
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line.substr(0, kHeaderHex.size()), kHeaderHex) << "the 4,000-byte path";
}

TEST_F(SpecialFiles, sampleAndIdentifyRecordEachFileWithoutBlocking) {
    VEX_REQUIRE_CLI_COMMANDS("sample", "experiments", "identify", "results");
    std::vector<std::string> sample{"sample"}, identify{"identify"};
    for (const std::string& path : allPaths()) {
        sample.push_back(path);
        identify.push_back(path);
    }
    const ChildOptions bounded{.timeout = std::chrono::seconds(60)};
    expectSurvived(runCli(data_, sample, bounded));
    expectSurvived(runCli(data_, identify, bounded));
    for (const char* list : {"experiments", "results"}) {
        const std::vector<JsonRow> rows = listRows(data_, list);
        for (const auto& [label, path] : special_) {
            if (const JsonRow* row = rowWithPath(rows, path)) {
                EXPECT_EQ(row->at("signature"), kTooShort) << label;
            }
        }
        const JsonRow* longRow = rowWithPath(rows, longFile_);
        ASSERT_NE(longRow, nullptr) << list << ": the 4,000-byte path is missing";
        EXPECT_EQ(longRow->at("signature"), kHeaderHex);
    }
}

TEST_F(SpecialFiles, identifyReadsPathsFromStandardInputWithoutBlocking) {
    VEX_REQUIRE_CLI_COMMANDS("identify");
    std::string input;
    for (const std::string& path : allPaths()) input += path + "\n";
    const ChildResult result =
        runCli(data_, {"identify", "-"}, {.input = input, .timeout = std::chrono::seconds(60)});
    expectSurvived(result);
    EXPECT_NE(result.out.find(kHeaderHex), std::string::npos) << describe(result);
}

// ---- Hand-edited INI files.

struct IniContent {
    const char* label;
    std::string (*make)();
};

std::ostream& operator<<(std::ostream& out, const IniContent& content) { return out << content.label; }

std::string binaryBytes() {
    std::mt19937 random(20261207);  // fixed: the same bytes in every run
    std::string bytes(1 << 20, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

std::string hugeFile() {
    // About 100 MB: long values, long comments and a line that never ends.
    std::string text;
    text.reserve(100u << 20);
    for (int i = 0; text.size() < (60u << 20); ++i)
        text += "[/huge/" + std::to_string(i) + "]\r\n特征值=" + std::string(4000, 'A') + "\r\n;" +
                std::string(2000, 'c') + "\r\n";
    text += "[/unterminated]\r\n特征值=" + std::string(40u << 20, 'B');
    return text;
}

std::string manySections() {
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "[/files/" + std::to_string(i) + ".bin]\r\n特征值=0011223344556677889" +
                std::to_string(i % 10) + "\r\n文件类型=bin\r\ntype=0011223344556677889" +
                std::to_string(i % 10) + "\r\ntype1=bin\r\n";
    return text;
}

std::string oddStructure() {
    return std::string("\xEF\xBB\xBF") + "no section=here\n[\n[]\n[ ]\n]]]\n[a\n=\n==\n[x]]]\nkey\n[x]\n" +
           "=value\n;[y]\n\0[z]\nk=\0v\n\r\r\n[\"q\"]\ntype=\"\nk=v\r" + std::string(3000, '[') + "\n";
}

class HandEditedIni : public ::testing::TestWithParam<IniContent> {};

// Each list loads without crashing, and a new entry is either added with every byte
// of the hand-edited file kept, or refused with the file left exactly as it was.
TEST_P(HandEditedIni, listsLoadAndNewEntriesKeepTheUsersBytes) {
    VEX_REQUIRE_CLI_COMMANDS("sample", "experiments", "identify", "results");
    TempDir dir;
    const std::string content = GetParam().make();
    const std::string sample = dir.write("sample.bin", std::string(kHeader));
    const ChildOptions bounded{.timeout = std::chrono::minutes(10)};
    for (const auto& [file, list, record] :
         {std::tuple{"set.ini", "experiments", "sample"}, std::tuple{"setok.ini", "results", "identify"}}) {
        const std::string ini = dir.file(file);
        writeAll(ini, content);
        const ChildResult listed = runCli(dir.path(), {list}, bounded);
        expectSurvived(listed);
        EXPECT_EQ(readAll(ini), content) << file << ": rebuilding a list changed its file";

        const ChildResult recorded = runCli(dir.path(), {record, sample}, bounded);
        expectSurvived(recorded);
        const std::string after = readAll(ini);
        if (recorded.exitCode == 0) {
            EXPECT_EQ(after.compare(0, content.size(), content), 0)
                << file << ": the user's bytes were not kept";
            EXPECT_NE(after.find(sample), std::string::npos) << file << ": the new entry is missing";
        } else {
            EXPECT_EQ(after, content) << file << ": a refused write changed the file";
            EXPECT_FALSE(recorded.err.empty()) << "refused without a message";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Robustness, HandEditedIni,
                         ::testing::Values(IniContent{"Binary", binaryBytes}, IniContent{"Huge", hugeFile},
                                           IniContent{"HundredThousandSections", manySections},
                                           IniContent{"OddStructure", oddStructure}),
                         [](const auto& info) { return std::string(info.param.label); });

// ---- Confirmed values made to break SQL, and types made to break a rename.

// A value made to break SQL is refused by the confirm rules when it is no
// signature value, and stored verbatim when it is a type; one that a library
// edited by hand holds anyway is listed and deleted verbatim.
TEST(SqlBreakingValues, areRefusedOrStoredListedAndDeletedVerbatim) {
    VEX_REQUIRE_CLI_COMMANDS("confirm", "library");
    TempDir dir;
    const std::vector<std::string> refusedSignatures = {"4D5A'; DROP TABLE 文件特征值库; --", "' OR '1'='1",
                                                        "\"; DELETE FROM \"文件特征值库\"", "%s%n\\'\\\""};
    ASSERT_EQ(runCli(dir.path(), {"library"}).exitCode, 0);
    for (const std::string& signature : refusedSignatures) {
        const ChildResult result = runCli(dir.path(), {"confirm", signature, "exe"});
        expectSurvived(result);
        EXPECT_EQ(result.exitCode, 1) << signature << "\n" << describe(result);
    }
    const std::vector<std::pair<std::string, std::string>> values = {
        {"4D5A", "x' OR '1'='1"}, {"ABCD", "'); DROP TABLE t; --"}, {"ABCDEF", "q\"q"}};
    for (const auto& [signature, type] : values) {
        const ChildResult result = runCli(dir.path(), {"confirm", signature, type});
        expectSurvived(result);
        EXPECT_EQ(result.exitCode, 0) << signature << "\n" << describe(result);
    }
    {
        auto store = SignatureStore::open(dir.file("data.mdb"));
        ASSERT_TRUE(store);
        for (const std::string& signature : refusedSignatures) store->add(signature, "hand-made");
    }
    EXPECT_EQ(databaseIntegrity(dir.file("data.mdb")), "ok");
    const auto records = confirmedRecords(dir.file("data.mdb"));
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), values.size() + refusedSignatures.size());
    for (std::size_t i = 0; i < values.size(); ++i) EXPECT_EQ((*records)[i].type, values[i].second);
    for (const ConfirmedRecord& record : *records) EXPECT_TRUE(isWholeRecord(record));
    // A duplicate is still a duplicate when its type is full of quotes.
    EXPECT_EQ(runCli(dir.path(), {"confirm", values[0].first, "again"}).exitCode, 3);

    // The list shows (and deletes by) the stored 20-byte cut of each value.
    const std::string shown0 = (*records)[3].prefixes.at(20), shown1 = (*records)[4].prefixes.at(20);
    EXPECT_EQ(shown0, "4D5A'; DROP TABLE ") << "cut before the character that would not fit";
    const ChildResult deleted = runCli(dir.path(), {"--json", "library", "delete", shown0, shown1});
    expectSurvived(deleted);
    const auto remaining = confirmedRecords(dir.file("data.mdb"));
    ASSERT_TRUE(remaining.has_value());
    EXPECT_EQ(remaining->size(), records->size() - 2) << describe(deleted);
    EXPECT_EQ(databaseIntegrity(dir.file("data.mdb")), "ok");
}

class HostileTypes : public ::testing::TestWithParam<std::string> {};

// Whatever type the library names, a rename keeps the file in its folder and never
// replaces another file.
TEST_P(HostileTypes, renameNeverMovesAFileOutOfItsFolderOrOverAnother) {
    VEX_REQUIRE_CLI_COMMANDS("confirm", "identify", "rename");
    TempDir dir;
    const std::string data = dir.file("data"), files = dir.file("files");
    fs::create_directories(data);
    fs::create_directories(files + "/sub");
    const std::string path = files + "/fragment.chk";
    writeAll(path, std::string(kHeader) + "fragment");
    writeAll(files + "/fragment.existing", "must not be replaced");
    writeAll(files + "/sub/x", "must not be replaced either");
    const std::string type = GetParam();
    // Most of these types break a confirm rule; a library edited by hand may hold them all the same.
    ASSERT_EQ(runCli(data, {"library"}).exitCode, 0);
    {
        auto store = SignatureStore::open(data + "/data.mdb");
        ASSERT_TRUE(store);
        store->add(kHeaderHex, type);  // the store itself still refuses a type over 50 characters
    }
    expectSurvived(runCli(data, {"identify", path}));
    const auto before = contentsUnder(dir.path());

    const ChildResult renamed = runCli(data, {"rename", path});
    expectSurvived(renamed);
    EXPECT_EQ(contentsUnder(dir.path()), before) << describe(renamed);
    EXPECT_EQ(readAll(files + "/fragment.existing"), "must not be replaced");
    EXPECT_EQ(readAll(files + "/sub/x"), "must not be replaced either");
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"data", "files"}));
    EXPECT_EQ(namesIn(files + "/sub"), std::vector<std::string>{"x"});
    if (renamed.exitCode != 0) {
        EXPECT_NE(renamed.err.find("fragment.chk"), std::string::npos) << describe(renamed);
    }
}

INSTANTIATE_TEST_SUITE_P(Robustness, HostileTypes,
                         ::testing::Values("../escaped", "sub/x", "/etc/passwd", "existing", "", ".", "..",
                                           "a\nb", "a\r\nb", " ", "未知类型", "Un", "a;b=c]",
                                           std::string(60, 'z'), "jpg/../../..", "\xff\xfe"),
                         [](const auto& info) { return "Type" + std::to_string(info.index); });

}  // namespace
}  // namespace vex::test
