#include "runtime/runtime_error.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace vex {
namespace {

constexpr std::array<std::string_view, 11> kCodeMessages = {
    "数组成员引用下标超出定义范围",
    "未得到所需要的数值型数据",
    "引用数组成员时维数不为1且不等于该数组目前所具有的维数",
    "数组成员引用下标必须大于等于1",
    "数据或数组类型不匹配",
    "调用DLL命令后发现堆栈错误",
    "子语句参数未返回数据或者返回了非系统基本类型或数组型数据",
    "被比较数据只能使用等于或不等于命令比较",
    "“多项选择”命令的索引值参数小于零或超出了所提供参数表范围",
    "“重定义数组”命令的数组维定义参数值必须大于零或单维时大于等于零",
    "所提供参数的数据类型不符合要求",
};

constexpr const char* kCaption = "错误";

struct ErrorState {
    std::atomic<int> count{0};
    RuntimeErrorHook hook;
    RuntimeErrorPresenter presenter;
    RuntimeErrorTerminator terminator;
    bool hookRunning = false;
};

ErrorState& state() {
    static ErrorState instance;
    return instance;
}

void presentOnStderr(const std::string& text, const std::string& caption) {
    std::fprintf(stderr, "%s: %s", caption.c_str(), text.c_str());
    std::fflush(stderr);
}

// Returns true when the installed hook handled the error itself. The hook is not
// re-entered: an error raised while it runs is shown directly.
bool runHook(int code, const std::string& message) {
    ErrorState& s = state();
    if (!s.hook || s.hookRunning) return false;
    struct RunningFlag {
        bool& flag;
        explicit RunningFlag(bool& f) : flag(f) { flag = true; }
        ~RunningFlag() { flag = false; }
    } running(s.hookRunning);
    return s.hook(code, message);
}

}  // namespace

std::string_view runtimeErrorCodeMessage(int code) {
    if (code < 1 || code > static_cast<int>(kCodeMessages.size())) return {};
    return kCodeMessages[static_cast<std::size_t>(code - 1)];
}

std::string formatRuntimeErrorMessage(int code, std::string_view message) {
    std::string text = "运行时出错!\r\n\r\n";
    if (code != 0) text += "错误代码：" + std::to_string(code) + "\r\n\r\n";
    if (!message.empty()) {
        text += "错误信息：";
        text += message;
        text += "\r\n";
    }
    return text;
}

void raiseRuntimeError(int code) { raiseRuntimeError(code, runtimeErrorCodeMessage(code)); }

void raiseRuntimeError(int code, std::string_view message) {
    ErrorState& s = state();
    ++s.count;
    const std::string messageText(message);
    if (!runHook(code, messageText)) {
        const std::string text = formatRuntimeErrorMessage(code, messageText);
        if (s.presenter) {
            s.presenter(text, kCaption);
        } else {
            presentOnStderr(text, kCaption);
        }
    }
    if (s.terminator) s.terminator();
    // _Exit skips the stdio flush at exit; output a command already printed to a pipe is
    // flushed here so it is not lost. A terminator that returns cannot keep the program
    // running past a fatal error.
    std::fflush(nullptr);
    std::_Exit(-1);
}

int runtimeErrorCount() { return state().count.load(); }

void setRuntimeErrorHook(RuntimeErrorHook hook) { state().hook = std::move(hook); }

void setRuntimeErrorPresenter(RuntimeErrorPresenter presenter) { state().presenter = std::move(presenter); }

void setRuntimeErrorTerminator(RuntimeErrorTerminator terminator) {
    state().terminator = std::move(terminator);
}

void resetRuntimeErrorState() {
    ErrorState& s = state();
    s.count = 0;
    s.hook = nullptr;
    s.presenter = nullptr;
    s.terminator = nullptr;
    s.hookRunning = false;
}

}  // namespace vex
