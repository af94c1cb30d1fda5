// Header-click sort: our comparison sort against the selection procedure it
// reproduces, measured side by side in one run. The selection procedure is
// quadratic, so it runs on a smaller list and its time is scaled up.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "runtime/report_list.h"
#include "ui/sorting.h"

namespace {

using Clock = std::chrono::steady_clock;

vex::PlainSortableList makeList(std::size_t rows) {
    std::mt19937 random(7);
    static const char* classes[] = {"exe", "TXT", "png", "Jpg", "pdf", "zip", "无类型", "dll"};
    vex::PlainSortableList list;
    list.columns = 4;
    list.rows.reserve(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        char signature[21];
        std::snprintf(signature, sizeof signature, "%020llX", static_cast<unsigned long long>(random()));
        list.rows.push_back({{std::to_string(r + 1), classes[random() % 8], signature,
                              "/data/found/FILE" + std::to_string(r) + ".CHK"},
                             static_cast<int>(r % 2)});
    }
    return list;
}

// The same rows as the window holds them, in a report list's compact store.
void fillReportList(vex::ReportList& list, const vex::PlainSortableList& rows) {
    vex::ReportRowStore store;
    for (const vex::PlainSortableRow& row : rows.rows)
        store.appendRow({row.cells.begin(), row.cells.end()}, 0);
    list.setRowStore(std::move(store));
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The selection procedure step by step, as a baseline.
void selectionBaseline(vex::PlainSortableList& list, int column) {
    std::vector<std::pair<std::string, std::size_t>> keys;
    for (std::size_t r = 0; r < list.rows.size(); ++r) keys.emplace_back(list.rows[r].cells[column], r);
    std::vector<std::size_t> order;
    while (keys.size() > 1) {
        std::size_t best = 0;
        for (std::size_t x = 1; x < keys.size(); ++x) {
            if (!(vex::upperCaseAsciiKey(keys[best].first) < vex::upperCaseAsciiKey(keys[x].first))) best = x;
        }
        order.push_back(keys[best].second);
        keys.erase(keys.begin() + static_cast<std::ptrdiff_t>(best));
    }
    order.push_back(keys.front().second);
    list.reorderRows(order);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t rows = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    const std::size_t baselineRows = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 3000;

    vex::PlainSortableList large = makeList(rows);
    std::string direction;
    auto start = Clock::now();
    vex::SortByClickedColumn(large, 2, direction);
    vex::SortByClickedColumn(large, 1, direction);
    const double oursLarge = secondsSince(start) / 2;

    vex::PlainSortableList small = makeList(baselineRows);
    vex::PlainSortableList smallCopy = small;
    start = Clock::now();
    vex::SortReportList(small, 1, true, false);
    const double oursSmall = secondsSince(start);
    start = Clock::now();
    selectionBaseline(smallCopy, 1);
    const double baselineSmall = secondsSince(start);
    // The number kind on the sequence-number column: every key differs by far more than the tolerance.
    vex::PlainSortableList numbered = makeList(rows);
    start = Clock::now();
    vex::SortReportList(numbered, 0, false, false, vex::sort_kind::kNumber);
    const double numberSort = secondsSince(start);

    // A million rows, as the window sorts them (keys compared where the list keeps
    // them) beside the same sort through a copy of every key.
    const std::size_t millionRows = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1000000;
    vex::PlainSortableList million = makeList(millionRows);
    vex::ReportList window(1, {{"a", 1}, {"b", 1}, {"c", 1}, {"d", 1}});
    fillReportList(window, million);
    std::string windowDirection, copiedDirection;
    start = Clock::now();
    vex::SortByClickedColumn(window, 2, windowDirection);
    vex::SortByClickedColumn(window, 1, windowDirection);
    const double windowSort = secondsSince(start) / 2;
    start = Clock::now();
    vex::SortByClickedColumn(million, 2, copiedDirection);
    vex::SortByClickedColumn(million, 1, copiedDirection);
    const double copiedSort = secondsSince(start) / 2;

    const double scale = static_cast<double>(rows) / static_cast<double>(baselineRows);

    std::printf("%-40s %12s %12s\n", "case", "seconds", "ratio");
    std::printf("%-40s %12.4f %12s\n", ("header-click sort, " + std::to_string(rows) + " rows").c_str(),
                oursLarge, "");
    std::printf("%-40s %12.4f %12s\n", ("number-kind sort, " + std::to_string(rows) + " rows").c_str(),
                numberSort, "");
    std::printf("%-40s %12.4f %12.2f\n",
                ("window list sort, " + std::to_string(millionRows) + " rows").c_str(), windowSort,
                windowSort / copiedSort);
    std::printf("%-40s %12.4f %12.2f\n",
                ("copied-key sort, " + std::to_string(millionRows) + " rows").c_str(), copiedSort, 1.0);
    std::printf("%-40s %12.4f %12.1f\n",
                ("selection baseline, " + std::to_string(baselineRows) + " rows").c_str(), baselineSmall,
                baselineSmall / oursSmall);
    std::printf("%-40s %12.1f %12.0f\n", ("selection baseline scaled to " + std::to_string(rows)).c_str(),
                baselineSmall * scale * scale, baselineSmall * scale * scale / oursLarge);
    return oursLarge < 1.0 && numberSort < 1.0 ? 0 : 1;
}
