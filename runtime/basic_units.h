#pragma once
// The simple visual units: edit box, label, button, group box and tab control.
// Each holds its own state; a view registers a listener to follow it.

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/unit.h"

namespace vex {

class UnitListener {
public:
    virtual ~UnitListener() = default;
    virtual void textChanged(Unit& unit) { (void)unit; }
    virtual void currentPageChanged(Unit& unit) { (void)unit; }
};

// A unit whose one text is its own property 0 (number 8): the content of an
// edit box, the caption of a label, button or group box.
class TextUnit : public Unit {
public:
    TextUnit(UnitKind kind, std::uint32_t id, std::string text = {})
        : Unit(kind, id), text_(std::move(text)) {}

    const std::string& text() const { return text_; }
    void setText(std::string text);

    void addListener(UnitListener* listener);
    void removeListener(UnitListener* listener);

    static constexpr int kOwnText = 0;
    Value readOwnProperty(int ownNumber) const override;
    void writeOwnProperty(int ownNumber, const Value& value) override;

protected:
    template <class F>
    void notify(F&& f) {
        const auto copy = listeners_;
        for (UnitListener* l : copy) f(*l);
    }

private:
    std::string text_;
    std::vector<UnitListener*> listeners_;
};

class EditBox : public TextUnit {
public:
    EditBox(std::uint32_t id, std::string text = {}, bool readOnly = false, bool multiLine = false)
        : TextUnit(UnitKind::EditBox, id, std::move(text)), readOnly_(readOnly), multiLine_(multiLine) {}
    // Read-only stops the user's typing only; the program still sets the text.
    bool readOnly() const { return readOnly_; }
    bool multiLine() const { return multiLine_; }

private:
    bool readOnly_;
    bool multiLine_;
};

class Label : public TextUnit {
public:
    explicit Label(std::uint32_t id, std::string caption = {})
        : TextUnit(UnitKind::Label, id, std::move(caption)) {}
};

class Button : public TextUnit {
public:
    explicit Button(std::uint32_t id, std::string caption = {})
        : TextUnit(UnitKind::Button, id, std::move(caption)) {}
};

class GroupBox : public TextUnit {
public:
    explicit GroupBox(std::uint32_t id, std::string caption = {})
        : TextUnit(UnitKind::GroupBox, id, std::move(caption)) {}
};

class TabControl : public Unit {
public:
    TabControl(std::uint32_t id, std::vector<std::string> pages, int currentPage = 0);

    const std::vector<std::string>& pages() const { return pages_; }
    int currentPage() const { return current_; }
    // False (and no change) for a page that does not exist.
    bool setCurrentPage(int page);

    void addListener(UnitListener* listener);
    void removeListener(UnitListener* listener);

    static constexpr int kOwnCurrentPage = 0;
    Value readOwnProperty(int ownNumber) const override;
    void writeOwnProperty(int ownNumber, const Value& value) override;

private:
    std::vector<std::string> pages_;
    int current_ = 0;
    std::vector<UnitListener*> listeners_;
};

}  // namespace vex
