#pragma once
// Unit references of the program's two windows, named as the layout names the
// units. Application code never holds a pointer to a unit: it passes one of these
// references to the window model, which resolves it to the live unit on every use.
//
// IDs are fixed here and in the layout tables (ui/main_window_layout.cpp); the
// layout test checks that both agree.

#include <cstdint>

#include "runtime/value.h"

namespace vex {

namespace main_window {

constexpr std::uint32_t kWindowId = 0x52010001;

// The window itself, as the source of its own events (the created event).
constexpr UnitRef 窗口{kWindowId, kWindowId};

constexpr UnitRef 选择夹1{kWindowId, 0x16010001};
// Page 1: experiment library and sample editor.
constexpr UnitRef 分组框1{kWindowId, 0x16010002};
constexpr UnitRef 超级列表框1{kWindowId, 0x16010003};
constexpr UnitRef 按钮10{kWindowId, 0x16010004};
constexpr UnitRef 按钮13{kWindowId, 0x16010005};
constexpr UnitRef 按钮12{kWindowId, 0x16010006};
constexpr UnitRef 按钮2{kWindowId, 0x16010007};
constexpr UnitRef 分组框2{kWindowId, 0x16010008};
constexpr UnitRef 编辑框1{kWindowId, 0x16010009};
constexpr UnitRef 按钮1{kWindowId, 0x1601000A};
constexpr UnitRef 标签4{kWindowId, 0x1601000B};
constexpr UnitRef 标签5{kWindowId, 0x1601000C};
constexpr UnitRef 编辑框3{kWindowId, 0x1601000D};
constexpr UnitRef 编辑框2{kWindowId, 0x1601000E};
constexpr UnitRef 按钮3{kWindowId, 0x1601000F};
constexpr UnitRef 编辑框4{kWindowId, 0x16010010};
constexpr UnitRef 编辑框5{kWindowId, 0x16010011};
constexpr UnitRef 按钮4{kWindowId, 0x16010012};
constexpr UnitRef 标签1{kWindowId, 0x16010013};  // hidden: holds the sort direction of the header click
constexpr UnitRef 拖放对象1{kWindowId, 0x16010014};
constexpr UnitRef 通用对话框1{kWindowId, 0x16010015};
// Page 2: confirmed library.
constexpr UnitRef 标签11{kWindowId, 0x16010016};
constexpr UnitRef 超级列表框2{kWindowId, 0x16010017};
constexpr UnitRef 按钮7{kWindowId, 0x16010018};
constexpr UnitRef 按钮8{kWindowId, 0x16010019};
constexpr UnitRef 按钮6{kWindowId, 0x1601001A};
constexpr UnitRef 按钮5{kWindowId, 0x1601001B};
// Page 3: identification list.
constexpr UnitRef 标签10{kWindowId, 0x1601001C};
constexpr UnitRef 超级列表框3{kWindowId, 0x1601001D};
constexpr UnitRef 按钮9{kWindowId, 0x1601001E};
constexpr UnitRef 按钮17{kWindowId, 0x1601001F};
constexpr UnitRef 按钮14{kWindowId, 0x16010020};
constexpr UnitRef 按钮16{kWindowId, 0x16010021};
constexpr UnitRef 按钮15{kWindowId, 0x16010022};
constexpr UnitRef 标签2{kWindowId, 0x16010023};
constexpr UnitRef 编辑框6{kWindowId, 0x16010024};
constexpr UnitRef 标签7{kWindowId, 0x16010025};
constexpr UnitRef 编辑框7{kWindowId, 0x16010026};
constexpr UnitRef 标签6{kWindowId, 0x16010027};
constexpr UnitRef 编辑框8{kWindowId, 0x16010028};
constexpr UnitRef 标签8{kWindowId, 0x16010029};
constexpr UnitRef 编辑框9{kWindowId, 0x1601002A};
constexpr UnitRef 拖放对象2{kWindowId, 0x1601002B};
// Page 4: help.
constexpr UnitRef 编辑框10{kWindowId, 0x1601002C};
constexpr UnitRef 标签9{kWindowId, 0x1601002D};
constexpr UnitRef 按钮11{kWindowId, 0x1601002E};
// Outside the tab control.
constexpr UnitRef 标签3{kWindowId, 0x1601002F};
constexpr UnitRef 外部数据库1{kWindowId, 0x16010030};
constexpr UnitRef 数据库连接1{kWindowId, 0x16010031};
constexpr UnitRef 记录集1{kWindowId, 0x16010032};

}  // namespace main_window

namespace message_window {

constexpr std::uint32_t kWindowId = 0x520101cb;

constexpr UnitRef 窗口{kWindowId, kWindowId};
// Shows "特征值存在！\r\n请重输入其他特征值！" when a duplicate signature is refused.
constexpr UnitRef 标签1{kWindowId, 0x16010101};

}  // namespace message_window

// Event numbers the layouts bind. Unit-type events count from 0; events common
// to every window unit are negative.
namespace event {
constexpr int kWindowCreated = 0;       // window: created (no arguments)
constexpr int kClicked = 0;             // button: clicked (no arguments)
constexpr int kLeftButtonReleased = -2; // any visual unit: x, y, key state
constexpr int kDoubleClicked = -3;      // any visual unit: x, y, key state
constexpr int kItemFocused = 0;         // report list: an item became the focused item
constexpr int kColumnClicked = 2;       // report list: column index (0-based)
constexpr int kTextDropped = 0;         // drop target: the dropped text
constexpr int kHtmlDropped = 1;         // drop target: the offered HTML
constexpr int kAddressDropped = 2;      // drop target: the web address
constexpr int kFilesDropped = 3;        // drop target: the dropped paths, joined
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
