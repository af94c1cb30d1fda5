#pragma once
// Unit references of the program's two windows, each named after its job; the
// name the layout gives a unit is a string in its layout row. Application code
// never holds a pointer to a unit: it passes one of these references to the
// window model, which resolves it to the live unit on every use.
//
// IDs are fixed here and in the layout tables (ui/main_window_layout.cpp); the
// layout test checks that both agree.

#include <cstdint>

#include "runtime/value.h"

namespace vex {

namespace main_window {

constexpr std::uint32_t kWindowId = 0x52010001;

// The window itself, as the source of its own events (the created event).
constexpr UnitRef window{kWindowId, kWindowId};

constexpr UnitRef pages{kWindowId, 0x16010001};
// Page 1: experiment library and sample editor.
constexpr UnitRef experimentGroup{kWindowId, 0x16010002};
constexpr UnitRef experimentList{kWindowId, 0x16010003};
constexpr UnitRef experimentCheckAllButton{kWindowId, 0x16010004};
constexpr UnitRef experimentInvertButton{kWindowId, 0x16010005};
constexpr UnitRef experimentDeleteButton{kWindowId, 0x16010006};
constexpr UnitRef experimentClearButton{kWindowId, 0x16010007};
constexpr UnitRef sampleGroup{kWindowId, 0x16010008};
constexpr UnitRef samplePathEdit{kWindowId, 0x16010009};
constexpr UnitRef pickFileButton{kWindowId, 0x1601000A};
constexpr UnitRef sampleClassLabel{kWindowId, 0x1601000B};
constexpr UnitRef sampleSignatureLabel{kWindowId, 0x1601000C};
constexpr UnitRef sampleClassEdit{kWindowId, 0x1601000D};
constexpr UnitRef sampleSignatureEdit{kWindowId, 0x1601000E};
constexpr UnitRef storeToExperimentButton{kWindowId, 0x1601000F};
constexpr UnitRef confirmTypeEdit{kWindowId, 0x16010010};
constexpr UnitRef confirmSignatureEdit{kWindowId, 0x16010011};
constexpr UnitRef storeToConfirmedButton{kWindowId, 0x16010012};
constexpr UnitRef sortDirectionLabel{kWindowId,
                                     0x16010013};  // hidden: holds the sort direction of the header click
constexpr UnitRef experimentDropTarget{kWindowId, 0x16010014};
constexpr UnitRef fileDialog{kWindowId, 0x16010015};
// Page 2: confirmed library.
constexpr UnitRef confirmedListLabel{kWindowId, 0x16010016};
constexpr UnitRef confirmedList{kWindowId, 0x16010017};
constexpr UnitRef confirmedCheckAllButton{kWindowId, 0x16010018};
constexpr UnitRef confirmedInvertButton{kWindowId, 0x16010019};
constexpr UnitRef confirmedDeleteButton{kWindowId, 0x1601001A};
constexpr UnitRef confirmedClearButton{kWindowId, 0x1601001B};
// Page 3: identification list.
constexpr UnitRef identificationHintLabel{kWindowId, 0x1601001C};
constexpr UnitRef identificationList{kWindowId, 0x1601001D};
constexpr UnitRef identificationDeleteButton{kWindowId, 0x1601001E};
constexpr UnitRef identificationCheckAllButton{kWindowId, 0x1601001F};
constexpr UnitRef identificationInvertButton{kWindowId, 0x16010020};
constexpr UnitRef identificationClearButton{kWindowId, 0x16010021};
constexpr UnitRef renameButton{kWindowId, 0x16010022};
constexpr UnitRef resultPathLabel{kWindowId, 0x16010023};
constexpr UnitRef resultPathEdit{kWindowId, 0x16010024};
constexpr UnitRef resultClassLabel{kWindowId, 0x16010025};
constexpr UnitRef resultClassEdit{kWindowId, 0x16010026};
constexpr UnitRef resultSignatureLabel{kWindowId, 0x16010027};
constexpr UnitRef resultSignatureEdit{kWindowId, 0x16010028};
constexpr UnitRef resultTypeLabel{kWindowId, 0x16010029};
constexpr UnitRef resultTypeEdit{kWindowId, 0x1601002A};
constexpr UnitRef identificationDropTarget{kWindowId, 0x1601002B};
// Page 4: help.
constexpr UnitRef helpEdit{kWindowId, 0x1601002C};
constexpr UnitRef noticeLabel{kWindowId, 0x1601002D};
constexpr UnitRef homePageButton{kWindowId, 0x1601002E};
// Outside the tab control.
constexpr UnitRef sloganLabel{kWindowId, 0x1601002F};
constexpr UnitRef lookupDatabase{kWindowId, 0x16010030};
constexpr UnitRef storeConnection{kWindowId, 0x16010031};
constexpr UnitRef storeRecordSet{kWindowId, 0x16010032};

}  // namespace main_window

namespace message_window {

constexpr std::uint32_t kWindowId = 0x520101cb;

constexpr UnitRef window{kWindowId, kWindowId};
// Shows "特征值存在！\r\n请重输入其他特征值！" when a duplicate signature is refused.
constexpr UnitRef messageLabel{kWindowId, 0x16010101};

}  // namespace message_window

// Event numbers the layouts bind. Unit-type events count from 0; events common
// to every window unit are negative.
namespace event {
constexpr int kWindowCreated = 0;        // window: created (no arguments)
constexpr int kClicked = 0;              // button: clicked (no arguments)
constexpr int kLeftButtonReleased = -2;  // any visual unit: x, y, key state
constexpr int kDoubleClicked = -3;       // any visual unit: x, y, key state
constexpr int kItemFocused = 0;          // report list: an item became the focused item
constexpr int kColumnClicked = 2;        // report list: column index (0-based)
constexpr int kTextDropped = 0;          // drop target: the dropped text
constexpr int kHtmlDropped = 1;          // drop target: the offered HTML
constexpr int kAddressDropped = 2;       // drop target: the web address
constexpr int kFilesDropped = 3;         // drop target: the dropped paths, joined
}  // namespace event

// Numbered properties the application reads and writes (own property = number - 8).
namespace property {
constexpr int kEditBoxContent = 8;
constexpr int kLabelCaption = 8;
constexpr int kFileDialogFileName = 10;
constexpr int kRecordSetRecordCount = 10;
constexpr int kReportListDisplayType = 13;
constexpr int kReportListCurrentItem = 35;
}  // namespace property

}  // namespace vex
