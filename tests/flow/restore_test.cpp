// A clear or delete can be taken back: each store keeps its last generations
// and a restore brings one back whole, keeping the store as it was first.

#include "flow/restore.h"

#include <gtest/gtest.h>

#include <thread>

#include "flow/confirm.h"
#include "flow/lists.h"
#include "library/ini_lists.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"

namespace vex {
namespace {

struct StoreCase {
    std::string_view name;
    StoreKind kind;
};

class RestoreAfterChange : public ::testing::TestWithParam<StoreCase> {
protected:
    // Puts `count` entries into the store under test.
    void fill(int count) {
        for (int i = 0; i < count; ++i) {
            const std::string signature = "ABCD" + std::to_string(1000 + i);
            if (GetParam().kind == StoreKind::Library) {
                ASSERT_EQ(AddConfirmedSignature(data_, signature, "t").result, ConfirmOutcome::Result::Added);
                continue;
            }
            std::string path = "/fragments/FILE" + std::to_string(i) + ".CHK";
            if (GetParam().kind == StoreKind::Experiments) {
                ExperimentList list(data_.experimentListPath());
                ASSERT_EQ(list.load(), "");
                ASSERT_EQ(list.record(signature, path), "");
                ASSERT_EQ(list.save(), "");
            } else {
                IdentificationList list(data_.identificationListPath());
                ASSERT_EQ(list.load(), "");
                ASSERT_EQ(list.record(signature, path, "t"), "");
                ASSERT_EQ(list.save(), "");
            }
        }
    }
    std::vector<std::string> entries() {
        std::vector<std::string> shown;
        switch (GetParam().kind) {
            case StoreKind::Library:
                for (const auto& e : listConfirmed(data_).entries)
                    shown.push_back(e.signature + "=" + e.type);
                break;
            case StoreKind::Experiments:
                for (const auto& e : listExperiments(data_).entries)
                    shown.push_back(e.path + "=" + e.signature);
                break;
            case StoreKind::Results:
                for (const auto& e : listIdentifications(data_).entries)
                    shown.push_back(e.path + "=" + e.type);
                break;
        }
        return shown;
    }
    Outcome clear() {
        switch (GetParam().kind) {
            case StoreKind::Library:
                return clearConfirmed(data_);
            case StoreKind::Experiments:
                return clearExperiments(data_);
            case StoreKind::Results:
                break;
        }
        return clearIdentifications(data_);
    }
    Outcome deleteFirst() {
        const std::string first = entries().front();
        const std::string key = first.substr(0, first.find('='));
        switch (GetParam().kind) {
            case StoreKind::Library:
                return deleteConfirmed(data_, {key});
            case StoreKind::Experiments:
                return deleteExperiments(data_, {key});
            case StoreKind::Results:
                break;
        }
        return deleteIdentifications(data_, {key});
    }

    test::TempDir dir_;
    DataDirectory data_{dir_.path()};
};

TEST_P(RestoreAfterChange, clearThenRestoreBringsBackEveryEntryInOrder) {
    fill(3);
    const std::vector<std::string> before = entries();
    ASSERT_EQ(clear().error, "");
    ASSERT_TRUE(entries().empty());
    ASSERT_EQ(listGenerations(data_, GetParam().kind).size(), 1u);
    const RestoreOutcome restored = restoreStore(data_, GetParam().kind, "");
    ASSERT_EQ(restored.error, "");
    EXPECT_EQ(entries(), before);
    // The empty store was nothing to lose, so no generation of it pushed the full one out.
    EXPECT_EQ(listGenerations(data_, GetParam().kind).size(), 1u);
}

// Restoring an older generation keeps the newer state as a generation, so it can be brought back in turn;
// past five, the oldest go.
TEST_P(RestoreAfterChange, deletesKeepTheLastFiveGenerationsAndARestoreIsItselfReversible) {
    fill(7);
    const std::vector<std::string> full = entries();
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(deleteFirst().error, "");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const std::vector<std::string> lastState = entries();
    ASSERT_EQ(lastState.size(), 1u);
    const std::vector<StoreGeneration> generations = listGenerations(data_, GetParam().kind);
    ASSERT_EQ(generations.size(), kKeptGenerations);
    EXPECT_GT(generations.front().name, generations.back().name) << "newest first";

    // The oldest kept generation is the store after the first delete: six entries.
    ASSERT_EQ(restoreStore(data_, GetParam().kind, generations.back().name).error, "");
    EXPECT_EQ(entries(), std::vector<std::string>(full.begin() + 1, full.end()));
    ASSERT_EQ(restoreStore(data_, GetParam().kind, "").error, "");
    EXPECT_EQ(entries(), lastState);

    EXPECT_NE(restoreStore(data_, GetParam().kind, "../data.mdb").error, "");
    EXPECT_EQ(entries(), lastState);
}

INSTANTIATE_TEST_SUITE_P(Stores, RestoreAfterChange,
                         ::testing::Values(StoreCase{"experiments", StoreKind::Experiments},
                                           StoreCase{"library", StoreKind::Library},
                                           StoreCase{"results", StoreKind::Results}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Restore, withNothingKeptIsRefusedWithAReason) {
    test::TempDir dir;
    const DataDirectory data(dir.path());
    for (StoreKind kind : {StoreKind::Experiments, StoreKind::Library, StoreKind::Results})
        EXPECT_NE(restoreStore(data, kind, "").error, "");
}

}  // namespace
}  // namespace vex
