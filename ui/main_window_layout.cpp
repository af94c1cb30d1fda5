#include "ui/main_window_layout.h"

#include "runtime/basic_units.h"
#include "ui/context_menus.h"
#include "ui/units.h"

namespace vex {
namespace {

namespace mw = main_window;

constexpr int kFirstPage = 0;
constexpr int kSecondPage = 1;
constexpr int kThirdPage = 2;
constexpr int kFourthPage = 3;

// Where a unit sits: its parent unit (0: the window) and the tab page it lies on.
struct Place {
    std::uint32_t parent = 0;
    int page = -1;
};

Place onPage(int page) { return {mw::pages.unit, page}; }
Place inGroup(UnitRef group, int page) { return {group.unit, page}; }
const Place kOnWindow{};

UnitLayout unit(UnitKind kind, UnitRef ref, const char* name, Place place, Geometry geometry,
                std::string caption = {}) {
    UnitLayout u;
    u.kind = kind;
    u.id = ref.unit;
    u.name = name;
    u.caption = std::move(caption);
    u.geometry = geometry;
    u.parent = place.parent;
    u.page = place.page;
    // Buttons, edit boxes and report lists are tab stops; labels, frames and the tab control are not.
    u.tabStop = kind == UnitKind::Button || kind == UnitKind::EditBox || kind == UnitKind::ReportList;
    return u;
}

UnitLayout label(UnitRef ref, const char* name, Place place, Geometry g, std::string caption) {
    return unit(UnitKind::Label, ref, name, place, g, std::move(caption));
}

UnitLayout groupBox(UnitRef ref, const char* name, Place place, Geometry g, std::string caption) {
    return unit(UnitKind::GroupBox, ref, name, place, g, std::move(caption));
}

UnitLayout button(UnitRef ref, const char* name, Place place, Geometry g, std::string caption,
                  std::string handler, std::vector<Value> leadingArguments = {}) {
    UnitLayout u = unit(UnitKind::Button, ref, name, place, g, std::move(caption));
    u.bindings.push_back({event::kClicked, std::move(handler), std::move(leadingArguments)});
    return u;
}

// Every edit box is read-only: only the program sets the texts, so what step 2
// stores is exactly what step 1 produced.
UnitLayout editBox(UnitRef ref, const char* name, Place place, Geometry g) {
    UnitLayout u = unit(UnitKind::EditBox, ref, name, place, g);
    u.readOnly = true;
    return u;
}

UnitLayout reportList(UnitRef ref, const char* name, Place place, Geometry g,
                      std::vector<ReportColumn> columns) {
    UnitLayout u = unit(UnitKind::ReportList, ref, name, place, g);
    u.columns = std::move(columns);
    return u;
}

UnitLayout dropTarget(UnitRef ref, const char* name, Place place, std::string filesHandler) {
    UnitLayout u = unit(UnitKind::DropTarget, ref, name, place, {});
    u.accepts.files = true;
    u.bindings.push_back({event::kTextDropped, std::string(), {}});
    u.bindings.push_back({event::kFilesDropped, std::move(filesHandler), {}});
    return u;
}

void bindEvent(UnitLayout& u, int eventNumber, std::string handler,
               std::vector<Value> leadingArguments = {}) {
    u.bindings.push_back({eventNumber, std::move(handler), std::move(leadingArguments)});
}

std::vector<Value> about(UnitRef subject) { return {Value(subject)}; }

std::vector<UnitLayout> firstPageUnits() {
    const Place page = onPage(kFirstPage);
    const Place frame1 = inGroup(mw::experimentGroup, kFirstPage);
    const Place frame2 = inGroup(mw::sampleGroup, kFirstPage);
    std::vector<UnitLayout> units;
    units.push_back(groupBox(mw::experimentGroup, "分组框1", page, {4, 32, 736, 248}, "文件特征值-实验库："));
    UnitLayout list = reportList(mw::experimentList, "超级列表框1", frame1, {4, 18, 592, 216},
                                 {{"序列", 50}, {"文件类", 50}, {"特征值", 200}, {"文件路径", 280}});
    bindEvent(list, event::kDoubleClicked, "ShowExperimentRow");
    bindEvent(list, event::kColumnClicked, "SortByClickedColumn", about(mw::experimentList));
    list.keyClicks = {{"Ctrl+A", mw::experimentCheckAllButton.unit},
                      {"Del", mw::experimentDeleteButton.unit}};
    units.push_back(std::move(list));
    units.push_back(button(mw::experimentCheckAllButton, "按钮10", frame1, {602, 38, 128, 24}, "全选部特征值",
                           "CheckAllRows", about(mw::experimentList)));
    units.push_back(button(mw::experimentInvertButton, "按钮13", frame1, {601, 92, 128, 24}, "反选定特征值",
                           "InvertRowChecks", about(mw::experimentList)));
    units.push_back(button(mw::experimentDeleteButton, "按钮12", frame1, {602, 153, 128, 24},
                           "删除选定特征值", "DeleteCheckedExperiments"));
    units.push_back(button(mw::experimentClearButton, "按钮2", frame1, {602, 202, 128, 24}, "清空特征值",
                           "ClearExperimentLibrary"));

    units.push_back(groupBox(mw::sampleGroup, "分组框2", page, {4, 282, 737, 136}, "取文件特征值："));
    UnitLayout path = editBox(mw::samplePathEdit, "编辑框1", frame2, {4, 19, 592, 24});
    bindEvent(path, event::kDoubleClicked, "RevealInExplorer", about(mw::samplePathEdit));
    units.push_back(std::move(path));
    units.push_back(button(mw::pickFileButton, "按钮1", frame2, {600, 19, 128, 24}, "打开文件->取特征值",
                           "PickFileForEditor"));
    // 16 high, not 12, and 2 up: the glyphs of our font reach below a 12-pixel box.
    units.push_back(label(mw::sampleClassLabel, "标签4", frame2, {16, 48, 64, 16}, "文件类型："));
    units.push_back(label(mw::sampleSignatureLabel, "标签5", frame2, {99, 48, 272, 16}, "文件特征值："));
    units.push_back(editBox(mw::sampleClassEdit, "编辑框3", frame2, {3, 65, 80, 24}));
    units.push_back(editBox(mw::sampleSignatureEdit, "编辑框2", frame2, {95, 67, 501, 24}));
    units.push_back(button(mw::storeToExperimentButton, "按钮3", frame2, {600, 65, 128, 24}, "存入->实验库",
                           "StoreEditorToExperiment"));
    units.push_back(editBox(mw::confirmTypeEdit, "编辑框4", frame2, {5, 105, 80, 24}));
    units.push_back(editBox(mw::confirmSignatureEdit, "编辑框5", frame2, {96, 103, 500, 24}));
    units.push_back(button(mw::storeToConfirmedButton, "按钮4", frame2, {601, 103, 128, 24}, "存入->确认库",
                           "StoreEditorToConfirmed"));

    // Never shown: its caption keeps the direction of the last header-click sort.
    UnitLayout direction = label(mw::sortDirectionLabel, "标签1", page, {656, 24, 32, 24}, "");
    direction.visible = false;
    units.push_back(std::move(direction));
    units.push_back(dropTarget(mw::experimentDropTarget, "拖放对象1", page, "SampleDroppedFiles"));
    // The dialog runs with the unit's defaults: the layout stores no settings for it.
    units.push_back(unit(UnitKind::FileDialog, mw::fileDialog, "通用对话框1", page, {}));
    return units;
}

std::vector<UnitLayout> secondPageUnits() {
    const Place page = onPage(kSecondPage);
    std::vector<UnitLayout> units;
    // Wider than 108, which cut the caption's last character (and any translation).
    units.push_back(label(mw::confirmedListLabel, "标签11", page, {12, 27, 300, 16}, "文件特征值-确认库："));
    UnitLayout list = reportList(mw::confirmedList, "超级列表框2", page, {8, 49, 728, 320},
                                 {{"序列", 100}, {"文件类", 100}, {"特征值", 300}});
    bindEvent(list, event::kColumnClicked, "SortByClickedColumn", about(mw::confirmedList));
    list.keyClicks = {{"Ctrl+A", mw::confirmedCheckAllButton.unit}, {"Del", mw::confirmedDeleteButton.unit}};
    units.push_back(std::move(list));
    units.push_back(button(mw::confirmedCheckAllButton, "按钮7", page, {57, 383, 136, 32}, "全选部特征值",
                           "CheckAllRows", about(mw::confirmedList)));
    units.push_back(button(mw::confirmedInvertButton, "按钮8", page, {219, 383, 136, 32}, "反选定特征值",
                           "InvertRowChecks", about(mw::confirmedList)));
    units.push_back(button(mw::confirmedDeleteButton, "按钮6", page, {381, 383, 136, 32}, "删除选定特征值",
                           "DeleteCheckedConfirmed"));
    units.push_back(button(mw::confirmedClearButton, "按钮5", page, {545, 383, 136, 32},
                           "清空文件特征值确认库", "DeleteAllConfirmed"));
    return units;
}

std::vector<UnitLayout> thirdPageUnits() {
    const Place page = onPage(kThirdPage);
    std::vector<UnitLayout> units;
    // Wider than 241, which held the Chinese caption only just and no translation.
    units.push_back(label(mw::identificationHintLabel, "标签10", page, {15, 26, 480, 16},
                          "文件拖放到下面列表框，即可判断文件类型！"));
    // No header-click binding: the identification list is not sorted by its headers.
    UnitLayout list =
        reportList(mw::identificationList, "超级列表框3", page, {8, 46, 720, 248},
                   {{"序列", 50}, {"文件类", 50}, {"特征值", 200}, {"文件路径", 300}, {"文件可能类型", 90}});
    bindEvent(list, event::kDoubleClicked, "ShowIdentificationRow");
    list.keyClicks = {{"Ctrl+A", mw::identificationCheckAllButton.unit},
                      {"Del", mw::identificationDeleteButton.unit}};
    units.push_back(std::move(list));
    units.push_back(button(mw::identificationDeleteButton, "按钮9", page, {608, 298, 128, 24}, "删除",
                           "DeleteCheckedIdentifications"));
    units.push_back(button(mw::identificationCheckAllButton, "按钮17", page, {608, 325, 128, 24}, "全选",
                           "CheckAllRows", about(mw::identificationList)));
    units.push_back(button(mw::identificationInvertButton, "按钮14", page, {608, 349, 128, 24}, "反选",
                           "InvertRowChecks", about(mw::identificationList)));
    units.push_back(button(mw::identificationClearButton, "按钮16", page, {608, 376, 128, 24}, "清空",
                           "ClearIdentificationList"));
    units.push_back(
        button(mw::renameButton, "按钮15", page, {608, 400, 136, 24}, "选定文件改名", "RenameCheckedFiles"));
    units.push_back(label(mw::resultPathLabel, "标签2", page, {17, 305, 128, 16}, "文件路径："));
    UnitLayout path = editBox(mw::resultPathEdit, "编辑框6", page, {8, 323, 584, 24});
    bindEvent(path, event::kDoubleClicked, "RevealInExplorer", about(mw::resultPathEdit));
    units.push_back(std::move(path));
    units.push_back(label(mw::resultClassLabel, "标签7", page, {16, 354, 64, 16}, "文件类型："));
    units.push_back(editBox(mw::resultClassEdit, "编辑框7", page, {9, 376, 80, 24}));
    units.push_back(label(mw::resultSignatureLabel, "标签6", page, {121, 359, 272, 16}, "文件特征值："));
    units.push_back(editBox(mw::resultSignatureEdit, "编辑框8", page, {104, 376, 296, 24}));
    units.push_back(label(mw::resultTypeLabel, "标签8", page, {432, 352, 104, 16}, "文件可能类型"));
    units.push_back(editBox(mw::resultTypeEdit, "编辑框9", page, {416, 376, 184, 24}));
    units.push_back(dropTarget(mw::identificationDropTarget, "拖放对象2", kOnWindow, "IdentifyDroppedFiles"));
    return units;
}

std::vector<UnitLayout> fourthPageUnits() {
    const Place page = onPage(kFourthPage);
    std::vector<UnitLayout> units;
    UnitLayout help = editBox(mw::helpEdit, "编辑框10", page, {16, 32, 720, 280});
    help.caption = helpText();
    help.multiLine = true;
    // A scroll bar when needed: the help for Linux users, and more so its translation, is longer than the
    // box.
    help.scrollBars = true;
    units.push_back(std::move(help));
    // Ends before the home-page button instead of running under it.
    units.push_back(label(mw::noticeLabel, "标签9", page, {24, 336, 592, 56},
                          "本软件免费使用，可自由复制传播；给文件改名前，请先备份重要文件。"));
    units.push_back(button(mw::homePageButton, "按钮11", page, {624, 344, 80, 32}, "主页", "OpenHomePage"));
    return units;
}

void append(std::vector<UnitLayout>& to, std::vector<UnitLayout> units) {
    for (UnitLayout& u : units) to.push_back(std::move(u));
}

}  // namespace

std::string helpText() {
    // What Linux users need: the three steps, what a match's strength means and where 10 bytes
    // fall short. The window shows each line in the user's language (i18n/).
    static const char* const kLines[] = {
        "                                             VexorinV1.0",
        "",
        "   有时文件的扩展名被改掉或丢失了（例如磁盘检查在 FOUND.000 中留下的 FILE0001.CHK "
        "碎片）。本软件根据文件开头的字节（文件头）判断它的真实类型，并能把它改回正确的扩展名。",
        "",
        "使用方法，只需三步：",
        "（1）从文件管理器把已知类型的样本文件拖到第一页的列表（或点“打开文件->取特征值”，再点“存入->"
        "实验库”）。",
        "（2）双击实验库中有代表性的一行，点“存入->确认库”：特征值和文件类型存入确认库（第二页）。",
        "（3）把未知文件拖到第三页的列表，“文件可能类型”即为结果；勾选后点“选定文件改名”即可改回扩展名。",
        "",
        "匹配强度：特征值是文件的前10个字节（20个十六进制数字），判断取确认库中相同的最长前缀，相同的数字越多"
        "越可靠。少于8个数字为“弱”，有其他类型共用该前缀为“有歧义”。",
        "",
        "10个字节的局限：纯文本文件（.txt、.c、.sh、.ini 等）没有固定文件头；不少格式共用一个文件头（ZIP 与 "
        "DOCX、XLSX、JAR、APK，各种 ELF 程序与库）；确认库中没有的文件头得到“未知类型”。",
        "",
        "               Vexorin V1.0 —— Vexorin 项目发布，2026-12-07",
    };
    std::string text;
    for (const char* line : kLines) {
        text += line;
        text += "\r\n";
    }
    text += "\r\n";
    return text;
}

WindowLayout mainWindowLayout() {
    WindowLayout w;
    w.id = mw::kWindowId;
    w.name = "启动窗口";
    w.title = "Vexorin[Vexorin]V1.0";
    w.geometry = {50, 50, 755, 505};  // centred when it opens; the stored position is not used
    w.alwaysOnTop = true;
    w.bindings.push_back({event::kWindowCreated, "InitialiseMainWindow", {}});

    // 428 high, not 424: a page starts below the tab bar and inside the frame, and at 424 it
    // ended above the bottom of the rename button (page 3), which it cut off.
    UnitLayout tabs = unit(UnitKind::TabControl, mw::pages, "选择夹1", kOnWindow, {0, 8, 800, 428});
    tabs.pages = {"第一步->文件特征值实验库", "第二步->文件特征值确认库", "第三步->判断未知文件类型",
                  "帮助及使用技巧"};
    tabs.currentPage = kFirstPage;
    w.units.push_back(std::move(tabs));
    append(w.units, firstPageUnits());
    append(w.units, secondPageUnits());
    append(w.units, thirdPageUnits());
    append(w.units, fourthPageUnits());

    w.units.push_back(label(mw::sloganLabel, "标签3", kOnWindow, {24, 440, 528, 24},
                            "只需三步，快速判断未知文件类型！简单，易用，免费，无广告！绿色软件！"));
    w.units.push_back(unit(UnitKind::ExternalDatabase, mw::lookupDatabase, "外部数据库1", kOnWindow, {}));
    w.units.push_back(unit(UnitKind::DatabaseConnection, mw::storeConnection, "数据库连接1", kOnWindow, {}));
    w.units.push_back(unit(UnitKind::RecordSet, mw::storeRecordSet, "记录集1", kOnWindow, {}));
    addContextMenus(w);
    return w;
}

WindowLayout messageWindowLayout() {
    WindowLayout w;
    w.id = message_window::kWindowId;
    w.name = "消息窗口";
    w.title = "";
    w.geometry = {0, 0, 281, 126};
    w.alwaysOnTop = true;
    w.units.push_back(label(message_window::messageLabel, "标签1", kOnWindow, {16, 16, 240, 48}, ""));
    return w;
}

void registerWindowLayouts(WindowModel& model) {
    model.registerLayout(mainWindowLayout());
    model.registerLayout(messageWindowLayout());
}

bool showMessageWindow(const std::string& caption, WindowModel& model) {
    if (!model.findLayout(message_window::kWindowId)) registerWindowLayouts(model);
    if (!model.loadWindow(message_window::kWindowId)) return false;
    model.writeProperty(message_window::messageLabel, property::kLabelCaption, Value(caption));
    return true;
}

bool loadMainWindow(WindowModel& model) {
    if (!model.findLayout(mw::kWindowId)) registerWindowLayouts(model);
    return model.loadWindow(mw::kWindowId);
}

MainWindowSession::MainWindowSession(WindowModel& model) : model_(model) {
    registerWindowLayouts(model_);
    loaded_ = model_.loadWindow(mw::kWindowId);
}

MainWindowSession::~MainWindowSession() { model_.closeAllWindows(); }

}  // namespace vex
