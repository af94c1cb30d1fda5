#include "runtime/basic_units.h"

#include <algorithm>

namespace vex {
namespace {

template <class L>
void addUnique(std::vector<L*>& list, L* item) {
    if (item && std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

template <class L>
void removeAll(std::vector<L*>& list, L* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

}  // namespace

void TextUnit::setText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    notify([this](UnitListener& l) { l.textChanged(*this); });
}

void TextUnit::addListener(UnitListener* listener) { addUnique(listeners_, listener); }
void TextUnit::removeListener(UnitListener* listener) { removeAll(listeners_, listener); }

Value TextUnit::readOwnProperty(int ownNumber) const {
    if (ownNumber == kOwnText) return Value(text_);
    return {};
}

void TextUnit::writeOwnProperty(int ownNumber, const Value& value) {
    if (ownNumber != kOwnText) return;
    // No text and empty text are equal.
    if (value.omitted()) {
        setText({});
    } else if (const auto* text = value.get_if<std::string>()) {
        setText(*text);
    }
}

TabControl::TabControl(std::uint32_t id, std::vector<std::string> pages, int currentPage)
    : Unit(UnitKind::TabControl, id), pages_(std::move(pages)) {
    if (currentPage >= 0 && currentPage < static_cast<int>(pages_.size())) current_ = currentPage;
}

bool TabControl::setCurrentPage(int page) {
    if (page < 0 || page >= static_cast<int>(pages_.size())) return false;
    if (page == current_) return true;
    current_ = page;
    const auto copy = listeners_;
    for (UnitListener* l : copy) l->currentPageChanged(*this);
    return true;
}

void TabControl::addListener(UnitListener* listener) { addUnique(listeners_, listener); }
void TabControl::removeListener(UnitListener* listener) { removeAll(listeners_, listener); }

Value TabControl::readOwnProperty(int ownNumber) const {
    if (ownNumber == kOwnCurrentPage) return Value(static_cast<std::int32_t>(current_));
    return {};
}

void TabControl::writeOwnProperty(int ownNumber, const Value& value) {
    if (ownNumber != kOwnCurrentPage) return;
    if (const auto* page = value.get_if<std::int32_t>()) setCurrentPage(*page);
}

}  // namespace vex
