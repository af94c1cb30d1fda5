// The lists' context menus on the window loaded headless: each entry reaches
// its operation through the file dialog and the questions, rebuilds its list
// and says what it did.

#include "ui/context_menus.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>

#include "flow/confirm.h"
#include "flow/drop.h"
#include "flow/library_exchange.h"
#include "flow/lists.h"
#include "runtime/file_dialog.h"
#include "runtime/messages.h"
#include "runtime/questions.h"
#include "runtime/report_list.h"
#include "tests/support/file_contents.h"
#include "tests/support/temp_dir.h"
#include "ui/list_views.h"
#include "ui/main_window_handlers.h"
#include "ui/main_window_layout.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

class ContextMenusTest : public ::testing::Test {
protected:
    void SetUp() override {
        model_.reset();
        registerMainWindowHandlers(model_, [this] { return data_; });
        model_.handlers().remove("InitialiseMainWindow");
        session_ = std::make_unique<MainWindowSession>(model_);
        ASSERT_TRUE(session_->loaded());
        setMessagePresenter([this](MessageKind kind, const std::string& text, const std::string&) {
            messages_.push_back(text);
            kinds_.push_back(kind);
        });
        setQuestionAnswerer([this](const Question& question) {
            questions_.push_back(question);
            return answer_;
        });
    }
    void TearDown() override {
        setMessagePresenter({});
        setQuestionAnswerer({});
        FileDialog::setPresenter({});
        session_.reset();
        model_.reset();
    }

    // Chooses the entry of `list`'s menu that runs `handler`, as a click on it would.
    void choose(UnitRef list, const std::string& handler) {
        const WindowLayout layout = mainWindowLayout();
        const std::vector<MenuEntry>& menu = layout.findUnit(list.unit)->contextMenu;
        for (std::size_t entry = 0; entry < menu.size(); ++entry) {
            if (menu[entry].handler != handler) continue;
            EXPECT_TRUE(model_.chooseMenuEntry(list, entry).handled);
            return;
        }
        ADD_FAILURE() << "no entry runs " << handler;
    }
    // The file dialogs answer with `path` (nothing: cancelled) and keep what they were asked.
    void answerFileDialogs(std::optional<std::string> path) {
        FileDialog::setPresenter([this, path](const FileDialogSettings& settings) {
            dialogs_.push_back(settings);
            return path;
        });
    }
    ReportList& list(UnitRef ref) { return model_.resolveAs<ReportList>(ref); }
    std::vector<std::string> column(UnitRef ref, int c) {
        std::vector<std::string> texts;
        for (int item = 0; item < list(ref).itemCount(); ++item) texts.push_back(list(ref).itemText(item, c));
        return texts;
    }

    test::TempDir dir_;
    DataDirectory data_{dir_.path()};
    WindowModel model_;
    std::unique_ptr<MainWindowSession> session_;
    std::vector<std::string> messages_;
    std::vector<MessageKind> kinds_;
    std::vector<Question> questions_;
    std::optional<std::size_t> answer_;
    std::vector<FileDialogSettings> dialogs_;
};

TEST_F(ContextMenusTest, importAddsTheNewRowsReportsConflictsAndRebuildsTheList) {
    for (const auto& [signature, type] : {std::pair{"89504E47", "png"}, std::pair{"504B0304", "zip"}})
        ASSERT_EQ(AddConfirmedSignature(data_, signature, type).result, ConfirmOutcome::Result::Added);
    const std::string file = dir_.write("share.csv",
                                        "signature,type\r\n89504E470D0A1A0A,png\r\n25504446,pdf\r\n"
                                        "89504E47,jpg\r\n504B0304,zip\r\n");
    answerFileDialogs(file);
    choose(mw::confirmedList, "ImportIntoConfirmedLibrary");

    ASSERT_EQ(dialogs_.size(), 1u);
    EXPECT_EQ(dialogs_[0].kind, FileDialog::kOpen);
    EXPECT_TRUE(dialogs_[0].fileMustExist);
    EXPECT_EQ(column(mw::confirmedList, confirmed_column::kSignature),
              (std::vector<std::string>{"89504E47", "504B0304", "89504E470D0A1A0A", "25504446"}));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find("added 2, skipped 1, conflicts 1, bad rows 0"), std::string::npos)
        << messages_[0];
    EXPECT_NE(messages_[0].find("line 4"), std::string::npos) << "the conflict is named by its line";
    EXPECT_EQ(kinds_[0], MessageKind::Warning);
    EXPECT_TRUE(questions_.empty());
}

TEST_F(ContextMenusTest, aFileWithBadRowsChangesNothingUntilTheUserAgreesToLeaveThemOut) {
    const std::string file =
        dir_.write("bad.csv", "signature,type\n25504446,pdf\nNOTHEX,txt\n504B0304,zip\n");
    answerFileDialogs(file);
    struct Case {
        std::optional<std::size_t> answer;
        std::vector<std::string> listed;
    };
    for (const Case& c : {Case{std::nullopt, {}}, Case{0, {"25504446", "504B0304"}}}) {
        messages_.clear();
        questions_.clear();
        answer_ = c.answer;
        choose(mw::confirmedList, "ImportIntoConfirmedLibrary");
        ASSERT_EQ(questions_.size(), 1u);
        EXPECT_NE(questions_[0].text.find("line 3"), std::string::npos) << questions_[0].text;
        EXPECT_EQ(column(mw::confirmedList, confirmed_column::kSignature), c.listed);
        EXPECT_EQ(listConfirmed(data_).entries.size(), c.listed.size());
        if (c.answer) {
            ASSERT_EQ(messages_.size(), 1u);
            EXPECT_NE(messages_[0].find("added 2, skipped 0, conflicts 0, bad rows 1"), std::string::npos);
        } else {
            EXPECT_TRUE(messages_.empty()) << "declining is its own answer";
        }
    }
}

TEST_F(ContextMenusTest, exportWritesTheFormatItsNameSaysAndACancelledDialogDoesNothing) {
    ASSERT_EQ(AddConfirmedSignature(data_, "25504446", "pdf").result, ConfirmOutcome::Result::Added);
    struct Case {
        std::string name;
        char firstCharacter;
    };
    for (const Case& c :
         {Case{"out.json", '['}, Case{"OUT.JSON", '['}, Case{"out.csv", 's'}, Case{"out", 's'}}) {
        const std::string path = dir_.file(c.name);
        answerFileDialogs(path);
        choose(mw::confirmedList, "ExportConfirmedLibrary");
        const std::string written = test::readAll(path);
        ASSERT_FALSE(written.empty()) << c.name;
        EXPECT_EQ(written.front(), c.firstCharacter) << c.name;
        EXPECT_EQ(parseExchange(written, std::nullopt).rows.size(), 1u) << c.name;
        EXPECT_NE(messages_.back().find(path), std::string::npos);
        std::filesystem::remove(path);
    }
    EXPECT_EQ(dialogs_.back().kind, FileDialog::kSave);
    EXPECT_TRUE(dialogs_.back().overwritePrompt);

    const std::size_t said = messages_.size();
    answerFileDialogs(std::nullopt);
    choose(mw::confirmedList, "ExportConfirmedLibrary");
    choose(mw::confirmedList, "ImportIntoConfirmedLibrary");
    EXPECT_EQ(messages_.size(), said);
}

// Each store, filled twice and cleared after each filling, so two generations are kept.
struct StoreCase {
    const char* handler;
    UnitRef list;
    int column;
    std::function<void(const DataDirectory&, const std::string& text)> fill;
    Outcome (*clear)(const DataDirectory&);
};

std::vector<StoreCase> storeCases(const test::TempDir& dir) {
    return {
        {"RestoreExperimentLibrary", mw::experimentList, experiment_column::kPath,
         [](const DataDirectory& data, const std::string& text) {
             storeExperiment(data, "/samples/" + text, "0123456789ABCDEF0123");
         },
         &clearExperiments},
        {"RestoreConfirmedLibrary", mw::confirmedList, confirmed_column::kType,
         [](const DataDirectory& data, const std::string& text) {
             AddConfirmedSignature(data, text == "first" ? "11111111" : "22222222", text);
         },
         &clearConfirmed},
        {"RestoreIdentificationList", mw::identificationList, identification_column::kPath,
         [&dir](const DataDirectory& data, const std::string& text) {
             identifyPaths(data, {dir.write(text, "0123456789AB")});
         },
         &clearIdentifications},
    };
}

std::string lastPart(const std::string& text) { return std::filesystem::path(text).filename().string(); }

TEST_F(ContextMenusTest, restoreOffersTheKeptGenerationsNewestFirstAndBringsBackTheChosenOne) {
    for (const StoreCase& store : storeCases(dir_)) {
        SCOPED_TRACE(store.handler);
        messages_.clear();
        questions_.clear();
        choose(store.list, store.handler);
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_NE(messages_[0].find("nothing to bring back"), std::string::npos) << messages_[0];
        EXPECT_TRUE(questions_.empty());

        store.fill(data_, "first");
        ASSERT_EQ(store.clear(data_).error, "");
        // One generation: a yes-or-no question; no leaves the store as it is.
        answer_ = std::nullopt;
        choose(store.list, store.handler);
        ASSERT_EQ(questions_.size(), 1u);
        EXPECT_TRUE(questions_[0].choices.empty());
        EXPECT_EQ(list(store.list).itemCount(), 0);

        store.fill(data_, "second");
        ASSERT_EQ(store.clear(data_).error, "");
        answer_ = 1;  // the older of the two
        choose(store.list, store.handler);
        ASSERT_EQ(questions_.size(), 2u);
        EXPECT_EQ(questions_[1].choices.size(), 2u);
        EXPECT_EQ(questions_[1].preselected, 0u) << "the newest is offered first";
        EXPECT_GE(questions_[1].choices[0], questions_[1].choices[1]);
        ASSERT_EQ(list(store.list).itemCount(), 1) << "the list is rebuilt from the restored store";
        EXPECT_EQ(lastPart(list(store.list).itemText(0, store.column)), "first");
        EXPECT_NE(messages_.back().find("Brought back"), std::string::npos) << messages_.back();
    }
}

TEST(ShownGenerationTime, readsAsADateAndATime) {
    struct Case {
        const char* name;
        const char* shown;
    };
    for (const Case& c : {Case{"2025-03-01_14-02-09.311", "2025-03-01 14:02:09"},
                          Case{"not a time", "not a time"}, Case{"", ""}}) {
        EXPECT_EQ(shownGenerationTime(c.name), c.shown);
    }
}

}  // namespace
}  // namespace vex
