// How sure each answer is, as a script sees it from the real vexorin-cli:
// identify --explain and --min-digits, and a rename that can be told to leave
// weak and ambiguous answers alone or only to say what it would do.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/robustness/cli_runner.h"
#include "tests/support/temp_dir.h"

namespace vex::test {
namespace {

namespace fs = std::filesystem;

// A library of four records (keys 107 to 110) and an experiment library of an
// ELF header sampled as both a shared library and an object, then four files:
// one each for a prefix held by two types, a full match, a 4-digit match and a
// value the samples know under another class.
class CliAnswers : public ::testing::Test {
protected:
    void SetUp() override {
        VEX_REQUIRE_CLI_COMMANDS("confirm", "sample", "identify", "rename");
        const std::string elf(
            "\x7F"
            "ELF\x02\x01\x01\x00\x00\x00",
            10);
        for (const auto& [signature, type] : {std::pair{"504B0304", "zip"},
                                              {"504B0304140008000800", "jar"},
                                              {"0000", "ico"},
                                              {"7F454C46020101000000", "so"}})
            ok({"confirm", signature, type});
        ok({"sample", samples_.write("libx.so", elf), samples_.write("y.o", elf)});
        zip_ = files_.write("f1.dat", std::string("PK\x03\x04\x0A\x00\x00\x00\x00\x00", 10));
        jar_ = files_.write("f2.dat", std::string("PK\x03\x04\x14\x00\x08\x00\x08\x00", 10));
        mp4_ = files_.write("f3.dat", std::string("\x00\x00\x00\x20"
                                                  "ftypis",
                                                  10));
        elf_ = files_.write("f4.dat", elf);
    }

    ChildResult cli(const std::vector<std::string>& args) { return runCli(data_.path(), args); }
    ChildResult ok(const std::vector<std::string>& args) {
        ChildResult result = cli(args);
        EXPECT_EQ(result.exitCode, 0) << describe(result);
        return result;
    }
    std::string line(const std::string& type, const std::string& rest, const std::string& signature,
                     const std::string& path) {
        return type + "\t" + rest + "\t" + signature + "\t" + path + "\n";
    }

    TempDir data_, samples_, files_;
    std::string zip_, jar_, mp4_, elf_;
};

TEST_F(CliAnswers, explainNamesDigitsRecordAndAlternatives) {
    const ChildResult result = ok({"identify", "--explain", "--dry-run", zip_, jar_, mp4_, elf_});
    EXPECT_EQ(result.out, line("zip", "8\t107\tjar (record 108)", "504B03040A0000000000", zip_) +
                              line("jar", "20\t108\t", "504B0304140008000800", jar_) +
                              line("ico", "4\t109\t", "00000020667479706973", mp4_) +
                              line("so", "20\t110\to ×1 sample", "7F454C46020101000000", elf_));
}

TEST_F(CliAnswers, minDigitsRecordsAShortMatchAsUnknownWithTheTypeAsAlternative) {
    const ChildResult result = ok({"--format", "jsonl", "identify", "--min-digits", "8", mp4_, zip_});
    EXPECT_EQ(result.out, R"j({"type":"未知类型","signature":"00000020667479706973","path":")j" + mp4_ +
                              R"j(","digits":0,"record":null,"alternatives":["ico (record 109)"]})j"
                              "\n"
                              R"j({"type":"zip","signature":"504B03040A0000000000","path":")j" +
                              zip_ +
                              R"j(","digits":8,"record":107,"alternatives":["jar (record 108)"]})j"
                              "\n");
    // Recorded so: a later rename leaves the file alone, and the listing keeps the details.
    EXPECT_EQ(ok({"--format", "csv", "results"}).out,
              "index,class,signature,path,type,digits,record,alternatives\r\n"
              "1,dat,00000020667479706973," +
                  mp4_ +
                  ",未知类型,0,,ico (record 109)\r\n"
                  "2,dat,504B03040A0000000000," +
                  zip_ + ",zip,8,107,jar (record 108)\r\n");
    EXPECT_EQ(cli({"identify", "--min-digits", "3", mp4_}).exitCode, 1);
    EXPECT_EQ(cli({"identify", "--min-digits", "21", mp4_}).exitCode, 1);
}

TEST_F(CliAnswers, renameDryRunPrintsWhatWouldHappenAndChangesNothing) {
    ok({"identify", zip_, jar_, mp4_, elf_});
    const ChildResult preview = ok({"rename", "--all", "--dry-run"});
    EXPECT_EQ(preview.out, zip_ + "\t" + files_.file("f1.zip") + "\n" + jar_ + "\t" + files_.file("f2.jar") +
                               "\n" + mp4_ + "\t" + files_.file("f3.ico") + "\n" + elf_ + "\t" +
                               files_.file("f4.so") + "\n");
    for (const std::string& path : {zip_, jar_, mp4_, elf_}) EXPECT_TRUE(fs::exists(path)) << path;
    EXPECT_FALSE(fs::exists(files_.file("f1.zip")));

    // A name already taken is foreseen as the real rename would meet it.
    files_.write("f2.jar", "taken");
    const ChildResult taken = cli({"rename", "--dry-run", jar_, "--min-digits", "8"});
    EXPECT_EQ(taken.exitCode, 4) << describe(taken);
    EXPECT_EQ(taken.out, "");
    EXPECT_NE(taken.err.find(files_.file("f2.jar")), std::string::npos) << taken.err;
}

TEST_F(CliAnswers, renameLeavesWeakAndAmbiguousAnswersAloneWhenAsked) {
    ok({"identify", zip_, jar_, mp4_, elf_});
    const ChildResult careful = ok({"rename", "--all", "--skip-ambiguous"});
    EXPECT_EQ(careful.out, jar_ + "\t" + files_.file("f2.jar") + "\n");
    for (const auto& [path, why] :
         {std::pair{zip_, "jar (record 108)"}, {mp4_, "4 digits"}, {elf_, "o ×1 sample"}}) {
        const std::size_t named = careful.err.find(path + "' left alone");
        ASSERT_NE(named, std::string::npos) << careful.err;
        EXPECT_NE(careful.err.substr(named, careful.err.find('\n', named) - named).find(why),
                  std::string::npos)
            << careful.err;
    }

    // At 8 digits the 4-digit answer counts as unknown; the ambiguous ones are taken.
    const ChildResult strict = ok({"rename", "--all", "--min-digits", "8"});
    EXPECT_EQ(strict.out,
              zip_ + "\t" + files_.file("f1.zip") + "\n" + elf_ + "\t" + files_.file("f4.so") + "\n");
    EXPECT_TRUE(fs::exists(mp4_));
    EXPECT_EQ(strict.err, "");
}

}  // namespace
}  // namespace vex::test
