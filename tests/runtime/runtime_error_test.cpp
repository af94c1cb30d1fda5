#include "runtime/runtime_error.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "runtime/memory.h"

namespace vex {
namespace {

struct Terminated {};

struct Shown {
    std::string text;
    std::string caption;
};

// Observes runtime errors instead of ending the test program.
class RuntimeErrorTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetRuntimeErrorState();
        setRuntimeErrorPresenter([this](const std::string& text, const std::string& caption) {
            shown.push_back({text, caption});
        });
        setRuntimeErrorTerminator([] { throw Terminated{}; });
    }
    void TearDown() override { resetRuntimeErrorState(); }

    std::vector<Shown> shown;
};

TEST_F(RuntimeErrorTest, codeErrorShowsCodeAndMessageLines) {
    EXPECT_THROW(raiseRuntimeError(runtime_error_code::kIndexBelowOne), Terminated);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text,
              "运行时出错!\r\n\r\n错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1\r\n");
    EXPECT_EQ(shown[0].caption, "错误");
    EXPECT_EQ(runtimeErrorCount(), 1);
}

TEST_F(RuntimeErrorTest, runtimeOwnErrorHasNoCodeLine) {
    EXPECT_THROW(raiseRuntimeError(0, "载入启动窗口失败"), Terminated);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n");
}

TEST(RuntimeErrorFormatTest, leavesOutEmptyParts) {
    EXPECT_EQ(formatRuntimeErrorMessage(0, ""), "运行时出错!\r\n\r\n");
    EXPECT_EQ(formatRuntimeErrorMessage(12, ""), "运行时出错!\r\n\r\n错误代码：12\r\n\r\n");
    EXPECT_EQ(runtimeErrorCodeMessage(1), "数组成员引用下标超出定义范围");
    EXPECT_EQ(runtimeErrorCodeMessage(11), "所提供参数的数据类型不符合要求");
    EXPECT_EQ(runtimeErrorCodeMessage(0), "");
    EXPECT_EQ(runtimeErrorCodeMessage(12), "");
}

TEST_F(RuntimeErrorTest, hookThatHandlesTheErrorSkipsTheMessage) {
    int hookCalls = 0;
    setRuntimeErrorHook([&](int code, const std::string& message) {
        ++hookCalls;
        EXPECT_EQ(code, 5);
        EXPECT_EQ(message, "数据或数组类型不匹配");
        return true;
    });
    EXPECT_THROW(raiseRuntimeError(runtime_error_code::kTypeMismatch), Terminated);
    EXPECT_EQ(hookCalls, 1);
    EXPECT_TRUE(shown.empty());
}

TEST_F(RuntimeErrorTest, hookThatDeclinesLeavesTheMessage) {
    setRuntimeErrorHook([](int, const std::string&) { return false; });
    EXPECT_THROW(raiseRuntimeError(2), Terminated);
    EXPECT_EQ(shown.size(), 1u);
}

TEST_F(RuntimeErrorTest, errorRaisedInsideTheHookIsShownDirectly) {
    int hookCalls = 0;
    setRuntimeErrorHook([&](int, const std::string&) -> bool {
        ++hookCalls;
        raiseRuntimeError(0, "inner");
    });
    EXPECT_THROW(raiseRuntimeError(0, "outer"), Terminated);
    EXPECT_EQ(hookCalls, 1);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find("inner"), std::string::npos);
    EXPECT_EQ(runtimeErrorCount(), 2);

    // The guard is lifted again once the hook has been left, even by an exception.
    EXPECT_THROW(raiseRuntimeError(0, "again"), Terminated);
    EXPECT_EQ(hookCalls, 2);
}

TEST_F(RuntimeErrorTest, terminatorThatReturnsStillEndsTheProcess) {
    setRuntimeErrorTerminator([] {});
    EXPECT_EXIT(raiseRuntimeError(0, "x"), ::testing::ExitedWithCode(255), "");
}

TEST(RuntimeErrorDefaultTest, defaultsPrintToStderrAndExitWithMinusOne) {
    resetRuntimeErrorState();
    EXPECT_EXIT(raiseRuntimeError(0, "载入启动窗口失败"), ::testing::ExitedWithCode(255),
                "错误: 运行时出错!.*错误信息：载入启动窗口失败");
}

TEST(RuntimeErrorDefaultTest, outputAlreadyPrintedSurvivesTheExit) {
    resetRuntimeErrorState();
    EXPECT_EXIT(
        {
            // A stream of our own stands for stdout on a pipe: fully buffered.
            static char buffer[4096];
            FILE* out = fdopen(dup(2), "w");
            std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
            std::fputs("printed and buffered", out);
            raiseRuntimeError(0, "x");
        },
        ::testing::ExitedWithCode(255), "printed and buffered");
}

TEST_F(RuntimeErrorTest, allocationFailureNamesTheRequestedSize) {
    EXPECT_EQ(allocationFailureMessage(100), "分配 100 字节内存失败!");
    EXPECT_THROW(reportAllocationFailure(100), Terminated);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find("错误信息：分配 100 字节内存失败!\r\n"), std::string::npos);
    EXPECT_EQ(shown[0].text.find("错误代码"), std::string::npos);
}

TEST_F(RuntimeErrorTest, newHandlerReportsAnAllocationFailure) {
    const std::new_handler previous = std::get_new_handler();
    installAllocationFailureHandler();
    const std::new_handler handler = std::get_new_handler();
    std::set_new_handler(previous);
    ASSERT_NE(handler, nullptr);
    EXPECT_THROW(handler(), Terminated);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find("分配 ? 字节内存失败!"), std::string::npos);
}

}  // namespace
}  // namespace vex
