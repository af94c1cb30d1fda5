// The confirm rules, for every front end: which pairs are stored and in what
// form, which are refused and for which rule; a refused pair never reaches the store.

#include "flow/confirm_rules.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "flow/confirm.h"
#include "flow/lists.h"
#include "library/store.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

using ::testing::HasSubstr;

struct RuleCase {
    std::string_view name;
    std::string signature;
    std::string type;
    std::string stored;  // the stored signature; empty: refused
    std::string rule;    // a word the refusal's reason must hold
};

std::string repeated(std::string_view piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += piece;
    return text;
}

const RuleCase kRuleCases[] = {
    {"shortest", "4D5A", "exe", "4D5A", ""},
    {"longest", "89504E470D0A1A0A0000", "png", "89504E470D0A1A0A0000", ""},
    {"oddLength", "1F8B0", "gz", "1F8B0", ""},
    {"lowerCaseIsUpperCased", "ffd8ffe0", "jpg", "FFD8FFE0", ""},
    {"mixedCase", "aBcDeF01", "x", "ABCDEF01", ""},
    {"typeOfFiftyWideCharacters", "4D5A", repeated("型", 50), "4D5A", ""},
    {"typeWithoutClass", "7F454C46", "无类型", "7F454C46", ""},
    {"typeWithBlanksAndQuotes", "4D5A", "it's \"x\"", "4D5A", ""},
    {"emptySignature", "", "exe", "", "empty"},
    {"threeDigits", "4D5", "exe", "", "at least"},
    {"twentyOneDigits", "89504E470D0A1A0A00001", "png", "", "not cut"},
    {"twentyFourDigits", "89504E470D0A1A0A00000000", "png", "", "not cut"},
    {"innerBlank", "CAFE BABE", "class", "", "blanks"},
    {"leadingBlank", " CAFEBABE", "class", "", "blanks"},
    {"trailingTab", "CAFEBABE\t", "class", "", "blanks"},
    {"hexPrefix", "0xCAFEBABE", "class", "", "0x"},
    {"upperHexPrefix", "0XCAFEBABE", "class", "", "0x"},
    {"letterPastF", "ZZZZ", "z", "", "'Z'"},
    {"quote", "4D5A';DROP", "exe", "", "no hexadecimal digit"},
    {"wideDigits", "４Ｄ５Ａ", "exe", "", "no hexadecimal digit"},
    {"emptyType", "4D5A", "", "", "empty"},
    {"typeOf51Characters", "4D5A", std::string(51, 'x'), "", "51 characters"},
    {"typeOf51WideCharacters", "4D5A", repeated("型", 51), "", "51 characters"},
    {"slashInType", "4D5A", "tar/gz", "", "'/'"},
    {"lineBreakInType", "4D5A", "a\nb", "", "control character"},
    {"deleteInType", "4D5A", "a\x7f", "", "control character"},
    {"c1ControlInType", "4D5A", "a\xc2\x85", "", "control character"},
    {"brokenUtf8Type", "4D5A", "\xff\xfe", "", "UTF-8"},
    {"overlongSlashType", "4D5A", "a\xc0\xaf", "", "UTF-8"},
    {"unknownTypeAnswer", "4D5A", "未知类型", "", "未知类型"},
    {"bothBrokenNamesTheSignature", "zz", "", "", "hexadecimal"},
};

class ConfirmRules : public ::testing::TestWithParam<RuleCase> {};

TEST_P(ConfirmRules, storeTheNormalFormOrRefuseWithTheRule) {
    const RuleCase& c = GetParam();
    const ConfirmCheck check = checkConfirmedPair(c.signature, c.type);
    EXPECT_EQ(check.signature, c.stored);
    if (c.stored.empty()) {
        EXPECT_THAT(check.reason, HasSubstr(c.rule));
    } else {
        EXPECT_EQ(check.reason, "");
    }

    // Through the operation both front ends call: stored as checked, or the store untouched.
    test::TempDir dir;
    const DataDirectory data(dir.path());
    ASSERT_EQ(ensureStoreExists(data.libraryPath()).outcome, StoreCreation::Written);
    const std::string before = test::readAll(data.libraryPath());
    const ConfirmOutcome outcome = AddConfirmedSignature(data, c.signature, c.type);
    const Listing<StoredSignature> listing = listConfirmed(data);
    if (c.stored.empty()) {
        EXPECT_EQ(outcome.result, ConfirmOutcome::Result::Invalid);
        EXPECT_THAT(outcome.reason, HasSubstr(check.reason));
        EXPECT_EQ(test::readAll(data.libraryPath()), before);
    } else {
        ASSERT_EQ(outcome.result, ConfirmOutcome::Result::Added) << outcome.reason;
        ASSERT_EQ(listing.entries.size(), 1u);
        EXPECT_EQ(listing.entries[0].signature, c.stored);
        EXPECT_EQ(listing.entries[0].type, c.type);
    }
}

INSTANTIATE_TEST_SUITE_P(Pairs, ConfirmRules, ::testing::ValuesIn(kRuleCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The value is compared in its stored form, so its lower-case spelling is the same value.
TEST(ConfirmRulesStore, lowerCaseSpellingOfAStoredValueIsADuplicate) {
    test::TempDir dir;
    const DataDirectory data(dir.path());
    ASSERT_EQ(AddConfirmedSignature(data, "CAFEBABE", "class").result, ConfirmOutcome::Result::Added);
    EXPECT_EQ(AddConfirmedSignature(data, "cafebabe", "class").result, ConfirmOutcome::Result::Duplicate);
    EXPECT_EQ(listConfirmed(data).entries.size(), 1u);
}

}  // namespace
}  // namespace vex
