// An index read back from its image must answer exactly as the index it was
// made from, details and all, for libraries full of what a hand-edited store
// can hold; and a damaged or made-up image must be turned away, never read.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ident/prefix_index.h"

namespace vex {
namespace {

class RandomLibrary {
public:
    explicit RandomLibrary(unsigned seed) : random_(seed) {}

    int pick(int bound) { return static_cast<int>(random_() % static_cast<unsigned>(bound)); }

    // Digits from a small alphabet, so that values share prefixes of every length often.
    std::string digits(int count) {
        static constexpr const char* kPieces[] = {"0", "A", "4", "D", "é"};
        std::string text;
        for (int i = 0; i < count; ++i) text += kPieces[pick(pick(20) == 0 ? 5 : 4)];
        return text;
    }

    std::string value(const std::vector<std::string>& stored) {
        if (!stored.empty() && pick(4) == 0) return stored[pick(static_cast<int>(stored.size()))];
        if (pick(30) == 0) return std::string(300, 'F');  // too long to be kept at full length
        return digits(pick(6) == 0 ? 1 + pick(25) : 20);
    }

    // Every kind a store's type field can be delivered as.
    Value type() {
        switch (pick(16)) {
            case 0:
                return Value();
            case 1:
                return Value(std::string());
            case 2:
                return Value(static_cast<std::uint8_t>(pick(256)));
            case 3:
                return Value(static_cast<std::int16_t>(-pick(1000)));
            case 4:
                return Value(std::int32_t{pick(100)});
            case 5:
                return Value(std::int64_t{-1} << 40);
            case 6:
                return Value(pick(2) ? std::numeric_limits<double>::quiet_NaN() : 2.5);
            case 7:
                return Value(1.5f);
            case 8:
                return Value(pick(2) == 1);
            case 9:
                return Value(DateTime{45000.25});
            case 10:
                return Value(ByteSet{0x6A, 0x70, 0x67});
            case 11:
                return Value(NumericArray::of(TypeTag::Int, std::vector<std::int32_t>{1, 2}));
            case 12:
                return Value(UnitRef{3, 4});
            case 13:
                return Value(Subroutine{0x1234});
            default:
                return Value("t" + std::to_string(pick(12)));
        }
    }

    // The 17 columns as the store keeps them, except that now and then one holds
    // nothing or a text that is no prefix of the others.
    std::array<std::string, kPrefixCount> columns(const std::string& value) {
        std::array<std::string, kPrefixCount> columns;
        for (int position = 0; position < kPrefixCount; ++position) {
            const int odd = pick(25);
            columns[position] = odd == 0   ? std::string()
                                : odd == 1 ? digits(1 + pick(20))
                                           : std::string(signaturePrefix(value, kLongestPrefix - position));
        }
        return columns;
    }

    std::optional<std::int64_t> key(int record) {
        return pick(10) == 0 ? std::nullopt : std::optional<std::int64_t>(record * 3 + 100);
    }

    std::string probe(const std::vector<std::string>& stored) {
        if (stored.empty() || pick(5) == 0) return digits(20);
        const std::string& base = stored[pick(static_cast<int>(stored.size()))];
        return base.substr(0, static_cast<std::size_t>(pick(static_cast<int>(base.size()) + 1))) +
               digits(pick(20));
    }

private:
    std::mt19937 random_;
};

struct Library {
    PrefixIndex index;
    std::vector<std::string> stored;
};

Library makeLibrary(RandomLibrary& random, int records) {
    Library library;
    if (random.pick(2) == 0) library.index.reserve(static_cast<std::size_t>(records));
    for (int record = 0; record < records; ++record) {
        library.stored.push_back(random.value(library.stored));
        const auto columns = random.columns(library.stored.back());
        std::array<std::string_view, kPrefixCount> prefixes;
        for (int position = 0; position < kPrefixCount; ++position) prefixes[position] = columns[position];
        library.index.addRecord(random.type(), prefixes, random.key(record));
    }
    return library;
}

std::string bytesOf(const PrefixIndex& index) {
    const PrefixIndex::Image image = index.image();
    std::string bytes;
    for (const std::string_view part : image.parts()) bytes += part;
    return bytes;
}

std::optional<PrefixIndex> readBack(const std::string& bytes) {
    std::size_t at = 0;
    return PrefixIndex::fromImage(bytes.size(), [&](char* into, std::size_t size) {
        if (size > bytes.size() - at) return false;
        std::memcpy(into, bytes.data() + at, size);
        at += size;
        return true;
    });
}

// Both indexes given the same samples, then asked the same values.
void expectSameAnswers(RandomLibrary& random, const std::vector<std::string>& stored, PrefixIndex& fresh,
                       PrefixIndex& loaded) {
    for (int sample = random.pick(40); sample > 0; --sample) {
        const std::string signature = random.probe(stored);
        const std::string fileClass =
            random.pick(8) == 0 ? std::string() : "c" + std::to_string(random.pick(6));
        fresh.addSample(signature, fileClass);
        loaded.addSample(signature, fileClass);
    }
    ASSERT_EQ(loaded.recordCount(), fresh.recordCount());
    for (int i = 0; i < 300; ++i) {
        const std::string signature = random.probe(stored);
        ASSERT_EQ(loaded.explain(signature), fresh.explain(signature)) << signature;
        ASSERT_EQ(loaded.lookup(signature), fresh.lookup(signature)) << signature;
    }
}

class PrefixIndexImage : public ::testing::TestWithParam<unsigned> {};

TEST_P(PrefixIndexImage, readBackAnswersAsTheIndexItWasMadeFrom) {
    RandomLibrary random(GetParam());
    Library library = makeLibrary(random, random.pick(8) == 0 ? 0 : 1 + random.pick(400));
    const std::string bytes = bytesOf(library.index);
    std::optional<PrefixIndex> loaded = readBack(bytes);
    ASSERT_TRUE(loaded);
    // Byte for byte the same again: every type kept with its own kind, every key and chain as it was.
    EXPECT_EQ(bytesOf(*loaded), bytes);
    ASSERT_NO_FATAL_FAILURE(expectSameAnswers(random, library.stored, library.index, *loaded));
    // Records added after the reading are found as they would be in the index it came from.
    const std::string later = random.digits(20);
    const auto prefixes = [&] {
        std::array<std::string_view, kPrefixCount> cut;
        for (int position = 0; position < kPrefixCount; ++position)
            cut[position] = signaturePrefix(later, kLongestPrefix - position);
        return cut;
    }();
    library.index.addRecord(Value("later"), prefixes, 9);
    loaded->addRecord(Value("later"), prefixes, 9);
    EXPECT_EQ(loaded->explain(later), library.index.explain(later));
}

// Any changed, missing or added byte is caught: by the sizes in the header or the checksum.
TEST_P(PrefixIndexImage, damagedImageIsTurnedAway) {
    RandomLibrary random(GetParam() + 1000);
    const Library library = makeLibrary(random, 1 + random.pick(200));
    const std::string bytes = bytesOf(library.index);
    for (int trial = 0; trial < 200; ++trial) {
        std::string damaged = bytes;
        switch (trial % 3) {
            case 0:
                damaged[random.pick(static_cast<int>(damaged.size()))] ^=
                    static_cast<char>(1 + random.pick(255));
                break;
            case 1:
                damaged.resize(static_cast<std::size_t>(random.pick(static_cast<int>(damaged.size()))));
                break;
            default:
                damaged.insert(static_cast<std::size_t>(random.pick(static_cast<int>(damaged.size()))),
                               std::string(1 + random.pick(16), '\0'));
        }
        EXPECT_FALSE(readBack(damaged)) << "trial " << trial;
    }
}

// A made-up image with a right checksum: whatever its arrays claim, it is
// turned away or answers without reading outside them (and without hanging).
TEST_P(PrefixIndexImage, madeUpImageIsCheckedBehindTheChecksum) {
    RandomLibrary random(GetParam() + 2000);
    Library library = makeLibrary(random, 1 + random.pick(100));
    const std::string bytes = bytesOf(library.index);
    for (int trial = 0; trial < 300; ++trial) {
        std::string forged = bytes;
        for (int change = 1 + random.pick(4); change > 0; --change) {
            const std::size_t at = static_cast<std::size_t>(random.pick(static_cast<int>(forged.size())));
            forged[at] = static_cast<char>(random.pick(3) == 0 ? 0xFF : random.pick(256));
        }
        PrefixIndex::resealImage(forged);
        std::optional<PrefixIndex> loaded = readBack(forged);
        if (!loaded) continue;
        for (int i = 0; i < 50; ++i) {
            const std::string signature = random.probe(library.stored);
            loaded->addSample(signature, "c");
            const Answer answer = loaded->explain(signature);
            EXPECT_FALSE(answer.type.empty());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, PrefixIndexImage, ::testing::Range(1u, 11u));

// The checks a checksum cannot stand in for, each on an image otherwise whole.
TEST(PrefixIndexImage, arraysThatCannotHoldTogetherAreTurnedAway) {
    PrefixIndex index;
    for (const char* value : {"4D5A9000030000000400", "4D5A9000030000000400", "504B0304140000000800"}) {
        std::array<std::string_view, kPrefixCount> prefixes;
        for (int position = 0; position < kPrefixCount; ++position)
            prefixes[position] = signaturePrefix(value, kLongestPrefix - position);
        index.addRecord(Value("t"), prefixes, 1);
    }
    const std::string bytes = bytesOf(index);
    ASSERT_TRUE(readBack(bytes));
    // The header: ten 8-byte fields; the slots follow it, 16 bytes each; the links come before the types.
    std::uint64_t header[10];
    std::memcpy(header, bytes.data(), sizeof header);
    const std::size_t slotsAt = sizeof header, slots = header[3], links = header[7], typeBytes = header[8];
    const std::size_t linksAt = bytes.size() - typeBytes - links * 8;
    auto firstFullSlot = [&] {
        for (std::size_t slot = 0;; ++slot)
            if (std::memcmp(bytes.data() + slotsAt + slot * 16, "\xFF\xFF\xFF\xFF", 4) != 0)
                return slotsAt + slot * 16;
    };
    struct Case {
        const char* what;
        std::function<void(std::string&)> change;
    };
    const Case cases[] = {
        {"every slot full: a look-up of a missing prefix would never end",
         [&](std::string& image) {
             const std::string full = image.substr(firstFullSlot(), 16);
             for (std::size_t slot = 0; slot < slots; ++slot) image.replace(slotsAt + slot * 16, 16, full);
             const std::uint64_t used = slots;
             std::memcpy(image.data() + 4 * 8, &used, 8);
         }},
        {"a chain that leads back to itself",
         [&](std::string& image) { std::memset(image.data() + linksAt + 4, 0, 4); }},
        {"a slot's text past the end of the texts",
         [&](std::string& image) { std::memset(image.data() + firstFullSlot() + 4, 0x7F, 4); }},
        {"a slot's record past the last record",
         [&](std::string& image) { std::memset(image.data() + firstFullSlot(), 0x7F, 4); }},
        {"a type of no kind there is", [&](std::string& image) { image[image.size() - typeBytes] = 99; }},
    };
    for (const Case& c : cases) {
        std::string forged = bytes;
        c.change(forged);
        PrefixIndex::resealImage(forged);
        EXPECT_FALSE(readBack(forged)) << c.what;
    }
}

}  // namespace
}  // namespace vex
