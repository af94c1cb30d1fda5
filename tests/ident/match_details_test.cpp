// An answer's details must be exactly what a reader of the whole library and
// experiment list would find by hand: the first record with a type at the
// longest stored prefix, every other type stored under that same prefix, and
// the classes of samples that begin with it. Libraries here are random, with
// many records sharing prefixes, types that differ only in case, CJK types and
// the too-short text.

#include "ident/match_details.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "ident/prefix_index.h"

namespace vex {
namespace {

struct Record {
    std::string type;
    std::string value;
    std::int64_t key;
};

struct Sample {
    std::string signature;
    std::string fileClass;
};

// Reads every record and sample for each prefix length, longest first.
Answer bruteForce(const std::vector<Record>& records, const std::vector<Sample>& samples,
                  std::string_view signature) {
    for (int length = kLongestPrefix; length >= kShortestPrefix; --length) {
        const std::string_view prefix = signaturePrefix(signature, length);
        if (prefix.empty()) continue;
        auto holds = [&](std::string_view value) { return signaturePrefix(value, length) == prefix; };
        const auto first = std::find_if(records.begin(), records.end(),
                                        [&](const Record& r) { return !r.value.empty() && holds(r.value); });
        if (first == records.end() || first->type.empty()) continue;
        Answer answer{first->type, {static_cast<int>(prefix.size()), first->key, nullptr}};
        std::vector<RecordAlternative> others;
        for (auto other = first + 1; other != records.end(); ++other) {
            if (other->value.empty() || !holds(other->value) || other->type.empty()) continue;
            if (sameType(other->type, answer.type)) continue;
            if (std::none_of(others.begin(), others.end(),
                             [&](const RecordAlternative& r) { return sameType(r.type, other->type); }))
                others.push_back({other->type, other->key});
        }
        std::map<std::string, std::size_t> counts;
        for (const Sample& sample : samples)
            if (!sample.fileClass.empty() && holds(sample.signature) &&
                !sameType(sample.fileClass, answer.type))
                ++counts[sample.fileClass];
        std::vector<SampleAlternative> classes;
        for (const auto& [fileClass, count] : counts) classes.push_back({fileClass, count});
        std::stable_sort(
            classes.begin(), classes.end(),
            [](const SampleAlternative& a, const SampleAlternative& b) { return a.samples > b.samples; });
        answer.details.alternatives = shareAlternatives(std::move(others), std::move(classes));
        return answer;
    }
    return {std::string(kUnknownFileType), {}};
}

class RandomValues {
public:
    explicit RandomValues(unsigned seed) : random_(seed) {}

    int pick(int bound) { return static_cast<int>(random_() % static_cast<unsigned>(bound)); }

    // Few digits, so that values share prefixes of every length.
    std::string digits(int count) {
        static constexpr char kAlphabet[] = "0A4D";
        std::string text;
        for (int i = 0; i < count; ++i) text += kAlphabet[pick(4)];
        return text;
    }

    std::string value() {
        switch (pick(10)) {
            case 0:
                return "无法读取，文件太短";
            case 1:
                return digits(4 + pick(16));  // confirmed shorter, as a typical header
            case 2:
                return {};  // a record that holds nothing
            default:
                return digits(20);
        }
    }

    std::string type() {
        static const std::vector<std::string> kTypes = {"",   "jpg", "JPG",  "zip",  "jar",
                                                        "so", "o",   "图片", "文档", "无类型"};
        return kTypes[static_cast<std::size_t>(pick(static_cast<int>(kTypes.size())))];
    }

    // A stored value with a changed tail, or a fresh one.
    std::string probe(const std::vector<Record>& records) {
        if (records.empty() || pick(5) == 0) return value().empty() ? digits(20) : value();
        const std::string& base =
            records[static_cast<std::size_t>(pick(static_cast<int>(records.size())))].value;
        const int keep = pick(static_cast<int>(base.size()) + 1);
        return base.substr(0, static_cast<std::size_t>(keep)) + digits(20 - std::min(keep, 20));
    }

private:
    std::mt19937 random_;
};

std::array<std::string_view, kPrefixCount> storedPrefixes(std::string_view value) {
    std::array<std::string_view, kPrefixCount> prefixes;
    for (int i = 0; i < kPrefixCount; ++i) prefixes[i] = signaturePrefix(value, kLongestPrefix - i);
    return prefixes;
}

class MatchDetailsOnRandomLibraries : public ::testing::TestWithParam<unsigned> {};

TEST_P(MatchDetailsOnRandomLibraries, equalAReadingOfEveryRecordAndSample) {
    RandomValues random(GetParam());
    std::vector<Record> records;
    const int recordCount = 1 + random.pick(120);
    for (int i = 0; i < recordCount; ++i)
        records.push_back({random.type(), random.value(), 107 + i * (1 + random.pick(3))});
    std::vector<Sample> samples;
    const int sampleCount = random.pick(200);
    for (int i = 0; i < sampleCount; ++i) samples.push_back({random.probe(records), random.type()});

    PrefixIndex index;
    for (const Record& record : records)
        index.addRecord(Value(record.type), storedPrefixes(record.value), record.key);
    for (const Sample& sample : samples) index.addSample(sample.signature, sample.fileClass);

    for (int i = 0; i < 300; ++i) {
        const std::string signature = random.probe(records);
        const Answer expected = bruteForce(records, samples, signature);
        const Answer answer = index.explain(signature);
        EXPECT_EQ(answer, expected) << "signature " << signature << ": got " << answer.type << " at "
                                    << answer.details.digits << " digits, expected " << expected.type
                                    << " at " << expected.details.digits;
        EXPECT_EQ(index.lookup(signature), expected.type);
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, MatchDetailsOnRandomLibraries, ::testing::Range(1u, 41u));

// A library received from someone may lack keys: the answer then names no record.
TEST(MatchDetails, recordsWithoutKeysAndTiesShowEveryOtherTypeOnce) {
    PrefixIndex index;
    index.addRecord(Value("zip"), storedPrefixes("504B0304"));
    index.addRecord(Value("jar"), storedPrefixes("504B0304"), 12);
    index.addRecord(Value("ZIP"), storedPrefixes("504B0304"), 13);
    index.addRecord(Value("jar"), storedPrefixes("504B030414"), 14);
    const Answer answer = index.explain("504B0304140000000800");
    EXPECT_EQ(answer.type, "jar");
    EXPECT_EQ(answer.details.digits, 10);
    EXPECT_EQ(answer.details.record, 14);
    EXPECT_FALSE(answer.ambiguous()) << "at 10 digits only the jar record holds the value";
    const Answer shorter = index.explain("504B0304000000000000");
    EXPECT_EQ(shorter.type, "zip");
    EXPECT_EQ(shorter.details.record, std::nullopt);
    EXPECT_EQ(shorter.details.records(), (std::vector<RecordAlternative>{{"jar", 12}}));
}

struct ListedCase {
    const char* name;
    Answer current;
    std::string listed;
    int minDigits;
    Answer expected;
};

class ListedAnswers : public ::testing::TestWithParam<ListedCase> {};

TEST_P(ListedAnswers, keepTheirSupportOrNameTheLibrarysAnswer) {
    const ListedCase& c = GetParam();
    EXPECT_EQ(withMinimumDigits(answerAsListed(c.current, c.listed), c.minDigits), c.expected);
}

MatchDetails details(int digits, std::optional<std::int64_t> record, std::vector<RecordAlternative> records,
                     std::vector<SampleAlternative> samples) {
    return {digits, record, shareAlternatives(std::move(records), std::move(samples))};
}

const Answer kZipAtSix{"zip", details(6, 110, {{"jar", 12}}, {{"o", 3}})};

INSTANTIATE_TEST_SUITE_P(
    Cases, ListedAnswers,
    ::testing::Values(ListedCase{"sameType", kZipAtSix, "zip", 4, kZipAtSix},
                      ListedCase{"belowMinimumBecomesUnknownWithTheTypeAsAlternative",
                                 kZipAtSix,
                                 "zip",
                                 8,
                                 {std::string(kUnknownFileType),
                                  details(0, std::nullopt, {{"zip", 110}, {"jar", 12}}, {{"o", 3}})}},
                      ListedCase{"atMinimumStands", kZipAtSix, "zip", 6, kZipAtSix},
                      ListedCase{"listedAsTheAlternativeKeepsTheDigitsOfItsRecord",
                                 kZipAtSix,
                                 "jar",
                                 4,
                                 {"jar", details(6, 12, {{"zip", 110}}, {{"o", 3}})}},
                      ListedCase{"listedAsASampleClassOnlyHasNoSupport",
                                 kZipAtSix,
                                 "o",
                                 4,
                                 {"o", details(0, std::nullopt, {{"zip", 110}, {"jar", 12}}, {})}},
                      ListedCase{"listedButTheLibraryKnowsNothingNow",
                                 Answer{std::string(kUnknownFileType), {}},
                                 "png",
                                 4,
                                 {"png", {}}},
                      ListedCase{"listedUnknownWhereTheLibraryNowAnswers",
                                 kZipAtSix,
                                 std::string(kUnknownFileType),
                                 4,
                                 {std::string(kUnknownFileType),
                                  details(0, std::nullopt, {{"zip", 110}, {"jar", 12}}, {{"o", 3}})}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vex
