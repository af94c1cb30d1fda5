#pragma once
// Typed values: what commands, properties and event arguments exchange.
// Every value carries the type tag the rest of the runtime dispatches on.

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace vex {

enum class TypeTag : std::uint32_t {
    None = 0,  // an optional argument the caller left out
    Byte = 0x80000101,
    Short = 0x80000201,
    Int = 0x80000301,
    Long = 0x80000401,
    Float = 0x80000501,
    Double = 0x80000601,
    Bool = 0x80000002,
    DateTime = 0x80000003,
    Text = 0x80000004,
    ByteSet = 0x80000005,
    Subroutine = 0x80000006,
    UnitRef = 0x00010000,  // unit references carry their unit type's own tag; this one stands for all
};

constexpr std::uint32_t kArrayFlag = 0x20000000;

using ByteSet = std::vector<std::uint8_t>;
using TextArray = std::vector<std::string>;

// A one-dimensional array of a numeric type (byte to double), its elements kept
// as the bytes the runtime stores them in, native byte order.
struct NumericArray {
    TypeTag element = TypeTag::Int;
    std::vector<std::uint8_t> data;
    friend bool operator==(const NumericArray&, const NumericArray&) = default;

    template <class T>
    static NumericArray of(TypeTag element, const std::vector<T>& items) {
        static_assert(std::is_arithmetic_v<T>);
        NumericArray array{element, std::vector<std::uint8_t>(items.size() * sizeof(T))};
        if (!items.empty()) std::memcpy(array.data.data(), items.data(), array.data.size());
        return array;
    }
};

// Days since 1899-12-30 00:00, the time of day as the fraction.
struct DateTime {
    double days = 0;
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// Address of an application subroutine, kept as an integer.
struct Subroutine {
    std::uintptr_t address = 0;
    friend bool operator==(const Subroutine&, const Subroutine&) = default;
};

// Names one unit of one loaded window; resolved to the live unit on every use.
struct UnitRef {
    std::uint32_t window = 0;
    std::uint32_t unit = 0;
    friend bool operator==(const UnitRef&, const UnitRef&) = default;
};

class Value {
public:
    using Storage =
        std::variant<std::monostate, std::uint8_t, std::int16_t, std::int32_t, std::int64_t, float, double,
                     bool, DateTime, std::string, ByteSet, Subroutine, UnitRef, NumericArray>;

    Value() = default;
    Value(std::uint8_t v) : storage_(v) {}
    Value(std::int16_t v) : storage_(v) {}
    Value(std::int32_t v) : storage_(v) {}
    Value(std::int64_t v) : storage_(v) {}
    Value(float v) : storage_(v) {}
    Value(double v) : storage_(v) {}
    Value(bool v) : storage_(v) {}
    Value(DateTime v) : storage_(v) {}
    Value(std::string v) : storage_(std::move(v)) {}
    Value(const char* v) : storage_(std::string(v)) {}
    Value(ByteSet v) : storage_(std::move(v)) {}
    Value(Subroutine v) : storage_(v) {}
    Value(UnitRef v) : storage_(v) {}
    Value(NumericArray v) : storage_(std::move(v)) {}

    TypeTag tag() const {
        if (const auto* array = std::get_if<NumericArray>(&storage_))
            return static_cast<TypeTag>(static_cast<std::uint32_t>(array->element) | kArrayFlag);
        static constexpr TypeTag tags[] = {
            TypeTag::None,    TypeTag::Byte,       TypeTag::Short,  TypeTag::Int,      TypeTag::Long,
            TypeTag::Float,   TypeTag::Double,     TypeTag::Bool,   TypeTag::DateTime, TypeTag::Text,
            TypeTag::ByteSet, TypeTag::Subroutine, TypeTag::UnitRef};
        return tags[storage_.index()];
    }
    bool omitted() const { return storage_.index() == 0; }

    template <class T>
    bool is() const {
        return std::holds_alternative<T>(storage_);
    }
    template <class T>
    const T& as() const {
        return std::get<T>(storage_);
    }
    template <class T>
    const T* get_if() const {
        return std::get_if<T>(&storage_);
    }

    const Storage& storage() const { return storage_; }

    friend bool operator==(const Value&, const Value&) = default;

private:
    Storage storage_;
};

}  // namespace vex
