#pragma once
// Base of every unit (a control or non-visual component of a window). A unit
// holds its own state; a Qt widget, when there is a display, only shows it.
// Properties 0-7 are common to all units and served by the window model; each
// unit type numbers its own properties from 8, and receives number - 8 here.

#include <cstdint>

#include "runtime/value.h"

namespace vex {

enum class UnitKind {
    Window,
    EditBox,
    Label,
    Button,
    GroupBox,
    TabControl,
    ReportList,
    DropTarget,
    ExternalDatabase,
    DatabaseConnection,
    RecordSet,
    FileDialog,
};

class Unit {
public:
    Unit(UnitKind kind, std::uint32_t id) : kind_(kind), id_(id) {}
    virtual ~Unit() = default;
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;

    UnitKind kind() const { return kind_; }
    std::uint32_t id() const { return id_; }

    // Own property `ownNumber` (= property number - 8). Unknown numbers read as no value.
    virtual Value readOwnProperty(int ownNumber) const {
        (void)ownNumber;
        return {};
    }
    virtual void writeOwnProperty(int ownNumber, const Value& value) {
        (void)ownNumber;
        (void)value;
    }

private:
    UnitKind kind_;
    std::uint32_t id_;
};

}  // namespace vex
