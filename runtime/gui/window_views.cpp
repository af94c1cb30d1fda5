#include "runtime/gui/window_views.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <optional>

#include "runtime/basic_units.h"
#include "runtime/drop_target.h"
#include "runtime/gui/file_drop_filter.h"
#include "runtime/gui/report_list_model.h"
#include "runtime/report_list.h"
#include "runtime/translation.h"

namespace vex {
namespace {

QString qtText(const std::string& text) {
    // Captions and texts keep "\r\n" line breaks, as the layouts store them; Qt wants plain "\n".
    return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

QString shownCaption(const std::string& text) {
    // Line by line, so a help text or a two-line message is translated whatever
    // its line breaks; a line's leading blanks (its indent) are kept.
    QString shown;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        const bool carriageReturn = !line.empty() && line.back() == '\r';
        if (carriageReturn) line.pop_back();
        const std::size_t indent = line.find_first_not_of(' ');
        if (indent != std::string::npos)
            line = line.substr(0, indent) + translated(text_context::kWindow, line.substr(indent));
        if (start > 0) shown += QLatin1Char('\n');
        shown += QString::fromStdString(line);
        start = end + 1;
    }
    return shown;
}

namespace {

QRect rectOf(const Geometry& g) { return {g.x, g.y, g.width, g.height}; }

// The key-state bits the double-click handlers receive (left, right, shift, control, middle).
std::int32_t keyStateOf(const QMouseEvent* event) {
    std::int32_t keys = 0;
    if (event->buttons().testFlag(Qt::LeftButton)) keys |= 0x0001;
    if (event->buttons().testFlag(Qt::RightButton)) keys |= 0x0002;
    if (event->modifiers().testFlag(Qt::ShiftModifier)) keys |= 0x0004;
    if (event->modifiers().testFlag(Qt::ControlModifier)) keys |= 0x0008;
    if (event->buttons().testFlag(Qt::MiddleButton)) keys |= 0x0010;
    return keys;
}

// Units keep their layout position relative to the tab control, but Qt places
// a page's children relative to the page, below the tab bar. The offset is
// known only once the tab control is laid out, so placement is redone then.
class UnitTabWidget : public QTabWidget {
public:
    using QTabWidget::QTabWidget;

    void place(QWidget* child, QPoint positionInTabControl) {
        placements_.push_back({child, positionInTabControl});
        placeOne(placements_.back());
    }

protected:
    void showEvent(QShowEvent* event) override {
        QTabWidget::showEvent(event);
        placeAll();
    }
    void resizeEvent(QResizeEvent* event) override {
        QTabWidget::resizeEvent(event);
        placeAll();
    }

private:
    struct Placement {
        QPointer<QWidget> child;
        QPoint position;
    };
    void placeOne(const Placement& p) {
        if (!p.child || !p.child->parentWidget()) return;
        p.child->move(p.position - p.child->parentWidget()->mapTo(this, QPoint(0, 0)));
    }
    void placeAll() {
        for (const Placement& p : placements_) placeOne(p);
    }
    std::vector<Placement> placements_;
};

// Calls `onDoubleClick` for a double click on the watched widget, then lets
// the widget handle the click as usual.
class DoubleClickForwarder : public QObject {
public:
    using Handler = std::function<void(QMouseEvent*)>;
    DoubleClickForwarder(QWidget* watched, Handler onDoubleClick)
        : QObject(watched), onDoubleClick_(std::move(onDoubleClick)) {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonDblClick) onDoubleClick_(static_cast<QMouseEvent*>(event));
        return QObject::eventFilter(watched, event);
    }

private:
    Handler onDoubleClick_;
};

// Follows a text unit (edit box, label, button, group box) and a tab control.
class UnitFollower : public UnitListener {
public:
    using Apply = std::function<void(Unit&)>;
    UnitFollower(Apply onText, Apply onPage) : onText_(std::move(onText)), onPage_(std::move(onPage)) {}
    void textChanged(Unit& unit) override {
        if (onText_) onText_(unit);
    }
    void currentPageChanged(Unit& unit) override {
        if (onPage_) onPage_(unit);
    }

private:
    Apply onText_;
    Apply onPage_;
};

class ReportListView : public QTableView {
public:
    // Asked for every key pressed in the list that the list itself does not
    // use; true when it ran a command (clicked the button the layout names).
    using KeyCommand = std::function<bool(const QKeySequence&)>;

    ReportListView(ReportList& list, QWidget* parent) : QTableView(parent), list_(list) {
        auto* model = new ReportListModel(list, this);
        setModel(model);
        setSelectionBehavior(QAbstractItemView::SelectRows);
        setSelectionMode(QAbstractItemView::SingleSelection);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        setShowGrid(true);
        setWordWrap(false);
        setAlternatingRowColors(false);
        setDragDropMode(QAbstractItemView::NoDragDrop);
        // Tab leaves the list for the next control instead of walking its cells.
        setTabKeyNavigation(false);
        setAcceptDrops(false);
        verticalHeader()->hide();
        // Fixed row heights let the view skip measuring rows: 100,000 rows stay instant.
        verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
        horizontalHeader()->setSectionsClickable(true);
        horizontalHeader()->setHighlightSections(false);
        horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        horizontalHeader()->setStretchLastSection(false);
        applyColumnWidths();

        connect(model, &ReportListModel::unitSelectionChanged, this,
                [this](int item) { followUnitSelection(item); });
        connect(model, &QAbstractItemModel::modelReset, this, [this] {
            applyColumnWidths();
            followUnitSelection(list_.currentItem());
        });
        connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this] { tellUnitSelection(); });
    }

    void setKeyCommand(KeyCommand command) { keyCommand_ = std::move(command); }

    // Runs entry `entry` of the list's context menu.
    using MenuCommand = std::function<void(std::size_t entry)>;
    void setContextMenu(std::vector<MenuEntry> entries, MenuCommand command) {
        menuEntries_ = std::move(entries);
        menuCommand_ = std::move(command);
    }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override {
        // From the keyboard the menu opens on the key itself (keyPressEvent): a
        // platform that also sends its own event for the Menu key would open it twice.
        if (menuEntries_.empty() || event->reason() == QContextMenuEvent::Keyboard) {
            QTableView::contextMenuEvent(event);
            return;
        }
        event->accept();
        openContextMenu(event->globalPos());
    }

    void keyPressEvent(QKeyEvent* event) override {
        const bool menuKey = event->key() == Qt::Key_Menu && event->modifiers() == Qt::NoModifier;
        const bool shiftF10 = event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier;
        if (!menuEntries_.empty() && (menuKey || shiftF10)) {
            event->accept();
            openContextMenu(keyboardMenuPosition());
            return;
        }
        // Space toggles the check box of the current row, whichever cell of it is current.
        if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
            const int row = currentIndex().isValid() ? currentIndex().row() : list_.currentItem();
            if (row >= 0 && row < list_.itemCount()) {
                const bool checked = list_.checkState(row) == check_state::kChecked;
                list_.setCheckState(row, checked ? check_state::kUnchecked : check_state::kChecked);
            }
            event->accept();
            return;
        }
        if (keyCommand_ && keyCommand_(QKeySequence(event->keyCombination()))) {
            event->accept();
            return;
        }
        QTableView::keyPressEvent(event);
    }

private:
    // Under the current row when it is in sight, else at the list's top-left corner.
    QPoint keyboardMenuPosition() const {
        const QRect row = visualRect(currentIndex());
        const bool inSight = row.isValid() && viewport()->rect().intersects(row);
        return viewport()->mapToGlobal(inSight ? row.bottomLeft() : QPoint(0, 0));
    }

    void openContextMenu(QPoint at) {
        std::optional<std::size_t> chosen;
        {
            QMenu menu(this);
            menu.setObjectName(QStringLiteral("contextMenu"));
            for (std::size_t entry = 0; entry < menuEntries_.size(); ++entry) {
                if (menuEntries_[entry].caption.empty()) {
                    menu.addSeparator();
                    continue;
                }
                QAction* action = menu.addAction(shownCaption(menuEntries_[entry].caption));
                action->setData(QVariant::fromValue(static_cast<qulonglong>(entry)));
            }
            if (QAction* action = menu.exec(at)) chosen = action->data().toULongLong();
        }
        // The entry runs once the menu is gone. It may close the window, and
        // this list with it, so nothing of the list is used afterwards.
        if (!chosen) return;
        const MenuCommand command = menuCommand_;
        command(*chosen);
    }

    void applyColumnWidths() {
        const auto& columns = list_.columns();
        for (int c = 0; c < static_cast<int>(columns.size()); ++c) setColumnWidth(c, columns[c].width);
    }
    void tellUnitSelection() {
        if (following_) return;
        const QModelIndexList rows = selectionModel()->selectedRows();
        list_.selectItem(rows.isEmpty() ? -1 : rows.front().row());
    }
    void followUnitSelection(int item) {
        following_ = true;
        if (item < 0 || item >= model()->rowCount()) {
            selectionModel()->clearSelection();
        } else {
            selectionModel()->setCurrentIndex(
                model()->index(item, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
        following_ = false;
    }

    ReportList& list_;
    bool following_ = false;
    KeyCommand keyCommand_;
    std::vector<MenuEntry> menuEntries_;
    MenuCommand menuCommand_;
};

// The styles draw the focus of some controls faintly or not at all (an empty
// list, a read-only field), so the window draws its own: a frame in the
// highlight colour around whichever of its controls has the keyboard focus.
class FocusRing : public QWidget {
public:
    explicit FocusRing(QWidget* window) : QWidget(window), window_(window) {
        setObjectName(QStringLiteral("focusRing"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        hide();
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { follow(now); });
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QPen pen(palette().color(QPalette::Active, QPalette::Highlight));
        pen.setWidth(kWidth);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.drawRect(rect().adjusted(kWidth / 2, kWidth / 2, -kWidth / 2 - 1, -kWidth / 2 - 1));
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == target_) {
            switch (event->type()) {
                case QEvent::Move:
                case QEvent::Resize:
                case QEvent::Show:
                case QEvent::Hide:
                    QTimer::singleShot(0, this, [this] { follow(target_); });
                    break;
                default:
                    break;
            }
        }
        return QWidget::eventFilter(watched, event);
    }

private:
    static constexpr int kWidth = 2;

    void follow(QWidget* now) {
        if (target_ != now) {
            if (target_) target_->removeEventFilter(this);
            target_ = now;
            if (target_) target_->installEventFilter(this);
        }
        const bool ours = now != nullptr && now != window_ && window_->isAncestorOf(now) &&
                          now->isVisibleTo(window_) && (now->focusPolicy() & Qt::TabFocus);
        if (!ours) {
            hide();
            return;
        }
        setGeometry(QRect(now->mapTo(window_, QPoint(0, 0)), now->size()));
        raise();
        show();
        update();
    }

    QWidget* window_;
    QPointer<QWidget> target_;
};

QFont unitFont() {
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(12);
    return font;
}

// Outer sizes include the frame, which the layouts assume to be this much; the
// real margins replace the guess once the window manager has framed the window.
const QSize kAssumedFrame(6, 29);

}  // namespace

class DesktopWindows::TopLevel : public QWidget {
public:
    TopLevel(const WindowLayout& layout, std::function<void()> onUserClose)
        : outerSize_(layout.geometry.width, layout.geometry.height),
          centred_(layout.centred),
          onUserClose_(std::move(onUserClose)) {
        Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        if (layout.closeBox) flags |= Qt::WindowCloseButtonHint;
        if (layout.minimiseBox) flags |= Qt::WindowMinimizeButtonHint;
        if (layout.maximiseBox) flags |= Qt::WindowMaximizeButtonHint;
        if (layout.alwaysOnTop) flags |= Qt::WindowStaysOnTopHint;
        setWindowFlags(flags);
        setWindowTitle(shownCaption(layout.title));
        // A window without a control to focus is a message: Enter and Esc close it.
        closesOnKeys_ = std::none_of(layout.units.begin(), layout.units.end(),
                                     [](const UnitLayout& unit) { return unit.tabStop; });
        setFont(unitFont());
        fixed_ = layout.fixedBorder;
        fitToOuterSize(kAssumedFrame);
        if (!centred_) move(layout.geometry.x, layout.geometry.y);
    }

    void addFocusRing() { new FocusRing(this); }

    void showAndPlace() {
        if (centred_) centre();
        show();
        // The window manager frames the window asynchronously, and says so with no event
        // of its own: look again after the events that follow framing, and a little later.
        for (int delay : {0, 100, 500}) QTimer::singleShot(delay, this, [this] { refitToFrame(); });
    }

protected:
    bool event(QEvent* event) override {
        const bool handled = QWidget::event(event);
        switch (event->type()) {
            case QEvent::Show:
            case QEvent::Move:
            case QEvent::WindowActivate:
                refitToFrame();
                break;
            default:
                break;
        }
        return handled;
    }

    void keyPressEvent(QKeyEvent* event) override {
        const int key = event->key();
        if (closesOnKeys_ && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)) {
            close();
            return;
        }
        QWidget::keyPressEvent(event);
    }

    void closeEvent(QCloseEvent* event) override {
        // The model closes the window and then this widget is deleted, which
        // must not happen inside its own event handler.
        event->ignore();
        QTimer::singleShot(0, this, [this] { onUserClose_(); });
    }

private:
    void fitToOuterSize(QSize frame) {
        fittedFrame_ = frame;
        const QSize client = outerSize_ - frame;
        if (fixed_) {
            setFixedSize(client);
        } else {
            resize(client);
        }
    }
    // Once the real frame is known (a window manager may draw no side borders, or
    // none at all), the client area is sized so the outer size is the layout's.
    void refitToFrame() {
        const QSize frame = frameGeometry().size() - geometry().size();
        const bool framed = frame.width() >= 0 && frame.height() >= 0 && frame != QSize(0, 0);
        if (!framed || frame == fittedFrame_) return;
        fitToOuterSize(frame);
        if (centred_ && !placedInFrame_) centre();
        placedInFrame_ = true;  // centred once in its real frame; later moves are the user's
    }
    void centre() {
        const QScreen* screen = this->screen();
        if (screen == nullptr) return;
        const QRect available = screen->availableGeometry();
        move(available.center() - QPoint(outerSize_.width() / 2, outerSize_.height() / 2));
    }

    QSize outerSize_;
    QSize fittedFrame_;
    bool centred_;
    bool placedInFrame_ = false;
    bool fixed_ = true;
    bool closesOnKeys_ = false;
    std::function<void()> onUserClose_;
};

struct DesktopWindows::WindowView {
    std::uint32_t windowId = 0;
    QPointer<TopLevel> top;
    std::unordered_map<std::uint32_t, QPointer<QWidget>> widgets;
    std::unordered_map<std::int64_t, std::uint32_t> unitByHandle;
    std::vector<std::pair<Unit*, std::unique_ptr<UnitFollower>>> followers;
    std::unordered_map<std::uint32_t, UnitTabWidget*> tabControls;
};

DesktopWindows::DesktopWindows(WindowModel& model, QObject* parent) : QObject(parent), model_(model) {
    model_.addObserver(this);
}

DesktopWindows::~DesktopWindows() {
    model_.removeObserver(this);
    for (auto& [id, view] : views_) {
        for (auto& [unit, follower] : view->followers) {
            if (auto* text = dynamic_cast<TextUnit*>(unit)) text->removeListener(follower.get());
            if (auto* tabs = dynamic_cast<TabControl*>(unit)) tabs->removeListener(follower.get());
        }
        delete view->top.data();
    }
}

QWidget* DesktopWindows::windowWidget(std::uint32_t windowId) const {
    auto it = views_.find(windowId);
    return it == views_.end() ? nullptr : it->second->top.data();
}

QWidget* DesktopWindows::unitWidget(UnitRef ref) const {
    auto it = views_.find(ref.window);
    if (it == views_.end()) return nullptr;
    if (ref.unit == ref.window) return it->second->top.data();
    auto unit = it->second->widgets.find(ref.unit);
    return unit == it->second->widgets.end() ? nullptr : unit->second.data();
}

QWidget* DesktopWindows::widgetForHandle(std::int64_t handle) const {
    for (const auto& [id, view] : views_) {
        auto it = view->unitByHandle.find(handle);
        if (it != view->unitByHandle.end()) return unitWidget({id, it->second});
    }
    return nullptr;
}

QWidget* DesktopWindows::parentFor(WindowView& view, const UnitLayout& layout) const {
    if (layout.parent == 0) return view.top.data();
    auto tabs = view.tabControls.find(layout.parent);
    if (tabs != view.tabControls.end()) {
        QWidget* page = tabs->second->widget(layout.page);
        return page != nullptr ? page : tabs->second;
    }
    auto parent = view.widgets.find(layout.parent);
    return parent != view.widgets.end() && parent->second ? parent->second.data() : view.top.data();
}

void DesktopWindows::buildUnit(WindowView& view, Window& window, UnitSlot& slot) {
    const UnitLayout& layout = *slot.layout;
    Unit& unit = *slot.unit;
    const UnitRef ref{window.id(), layout.id};
    QWidget* parent = parentFor(view, layout);
    QWidget* widget = nullptr;
    std::unique_ptr<UnitFollower> follower;

    switch (unit.kind()) {
        case UnitKind::EditBox: {
            auto& edit = static_cast<EditBox&>(unit);
            if (edit.multiLine()) {
                auto* text = new QPlainTextEdit(shownCaption(edit.text()), parent);
                text->setReadOnly(edit.readOnly());
                text->setTabChangesFocus(true);
                if (!layout.scrollBars) {
                    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                    text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                }
                follower = std::make_unique<UnitFollower>(
                    [text](Unit& u) { text->setPlainText(shownCaption(static_cast<TextUnit&>(u).text())); },
                    nullptr);
                widget = text;
            } else {
                auto* line = new QLineEdit(qtText(edit.text()), parent);
                line->setReadOnly(edit.readOnly());
                line->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
                follower = std::make_unique<UnitFollower>(
                    [line](Unit& u) {
                        line->setText(qtText(static_cast<TextUnit&>(u).text()));
                        line->setCursorPosition(0);
                    },
                    nullptr);
                widget = line;
            }
            widget->setAcceptDrops(false);
            break;
        }
        case UnitKind::Label: {
            auto* label = new QLabel(shownCaption(static_cast<Label&>(unit).text()), parent);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(true);
            follower = std::make_unique<UnitFollower>(
                [label](Unit& u) { label->setText(shownCaption(static_cast<TextUnit&>(u).text())); },
                nullptr);
            widget = label;
            break;
        }
        case UnitKind::Button: {
            auto* button = new QPushButton(shownCaption(static_cast<Button&>(unit).text()), parent);
            button->setAutoDefault(false);
            connect(button, &QPushButton::clicked, this,
                    [this, ref] { model_.raiseEvent(ref, unit_event::kButtonClicked); });
            follower = std::make_unique<UnitFollower>(
                [button](Unit& u) { button->setText(shownCaption(static_cast<TextUnit&>(u).text())); },
                nullptr);
            widget = button;
            break;
        }
        case UnitKind::GroupBox: {
            auto* group = new QGroupBox(shownCaption(static_cast<GroupBox&>(unit).text()), parent);
            follower = std::make_unique<UnitFollower>(
                [group](Unit& u) { group->setTitle(shownCaption(static_cast<TextUnit&>(u).text())); },
                nullptr);
            widget = group;
            break;
        }
        case UnitKind::TabControl: {
            auto& tabUnit = static_cast<TabControl&>(unit);
            auto* tabs = new UnitTabWidget(parent);
            tabs->tabBar()->setFocusPolicy(Qt::NoFocus);
            for (const std::string& caption : tabUnit.pages())
                tabs->addTab(new QWidget, shownCaption(caption));
            tabs->setCurrentIndex(tabUnit.currentPage());
            connect(tabs, &QTabWidget::currentChanged, this,
                    [&tabUnit](int page) { tabUnit.setCurrentPage(page); });
            follower = std::make_unique<UnitFollower>(nullptr, [tabs](Unit& u) {
                tabs->setCurrentIndex(static_cast<TabControl&>(u).currentPage());
            });
            view.tabControls[layout.id] = tabs;
            widget = tabs;
            break;
        }
        case UnitKind::ReportList: {
            auto* list = new ReportListView(static_cast<ReportList&>(unit), parent);
            std::vector<std::pair<QKeySequence, UnitRef>> keyClicks;
            for (const auto& [key, button] : layout.keyClicks)
                keyClicks.emplace_back(QKeySequence(QString::fromStdString(key)),
                                       UnitRef{window.id(), button});
            list->setKeyCommand([this, keyClicks](const QKeySequence& pressed) {
                for (const auto& [key, button] : keyClicks) {
                    // Exactly as a click: a disabled or hidden button does nothing.
                    auto* target = qobject_cast<QPushButton*>(unitWidget(button));
                    if (key != pressed || target == nullptr) continue;
                    if (target->isEnabled()) target->click();
                    return true;
                }
                return false;
            });
            if (!layout.contextMenu.empty()) {
                list->setContextMenu(layout.contextMenu,
                                     [this, ref](std::size_t entry) { model_.chooseMenuEntry(ref, entry); });
            }
            widget = list;
            break;
        }
        default:
            return;  // non-visual units have no widget
    }

    widget->setObjectName(QString::fromStdString(layout.name));
    const bool focusable = layout.tabStop;
    widget->setFocusPolicy(focusable ? Qt::StrongFocus : Qt::NoFocus);
    widget->resize(layout.geometry.width, layout.geometry.height);
    auto tabs = view.tabControls.find(layout.parent);
    if (tabs != view.tabControls.end()) {
        tabs->second->place(widget, {layout.geometry.x, layout.geometry.y});
    } else {
        widget->setGeometry(rectOf(layout.geometry));
    }
    widget->setVisible(slot.visible);
    widget->setEnabled(slot.enabled);

    if (unit.kind() == UnitKind::EditBox || unit.kind() == UnitKind::ReportList) {
        QWidget* clicked = widget;
        if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) clicked = area->viewport();
        new DoubleClickForwarder(clicked, [this, ref](QMouseEvent* event) {
            const QPoint at = event->position().toPoint();
            model_.raiseEvent(
                ref, unit_event::kDoubleClicked,
                {Value(std::int32_t{at.x()}), Value(std::int32_t{at.y()}), Value(keyStateOf(event))});
        });
    }
    if (auto* list = qobject_cast<QTableView*>(widget)) {
        connect(list->horizontalHeader(), &QHeaderView::sectionClicked, this, [this, ref](int column) {
            model_.raiseEvent(ref, unit_event::kColumnClicked, {Value(std::int32_t{column})});
        });
    }

    if (follower) {
        if (auto* text = dynamic_cast<TextUnit*>(&unit)) text->addListener(follower.get());
        if (auto* tabUnit = dynamic_cast<TabControl*>(&unit)) tabUnit->addListener(follower.get());
        view.followers.emplace_back(&unit, std::move(follower));
    }
    view.widgets[layout.id] = widget;
    view.unitByHandle[slot.handle] = layout.id;
}

void DesktopWindows::windowLoaded(Window& window) {
    auto view = std::make_unique<WindowView>();
    view->windowId = window.id();
    const std::uint32_t id = window.id();
    view->top = new TopLevel(window.layout(), [this, id] { userClosed(id); });
    view->top->setObjectName(QString::fromStdString(window.layout().name));
    view->unitByHandle[window.handle()] = window.id();
    for (UnitSlot& slot : window.units()) {
        if (slot.layout != nullptr && slot.unit) buildUnit(*view, window, slot);
    }
    view->top->addFocusRing();
    if (window.modal()) view->top->setWindowModality(Qt::ApplicationModal);
    TopLevel* top = view->top;
    views_[id] = std::move(view);
    top->showAndPlace();
}

void DesktopWindows::windowActivated(Window& window) {
    if (QWidget* top = windowWidget(window.id())) {
        top->show();
        top->raise();
        top->activateWindow();
    }
}

void DesktopWindows::windowClosing(Window& window) {
    auto it = views_.find(window.id());
    if (it == views_.end()) return;
    std::unique_ptr<WindowView> view = std::move(it->second);
    views_.erase(it);
    for (auto& [unit, follower] : view->followers) {
        if (auto* text = dynamic_cast<TextUnit*>(unit)) text->removeListener(follower.get());
        if (auto* tabs = dynamic_cast<TabControl*>(unit)) tabs->removeListener(follower.get());
    }
    // Models and drop filters refer to the units, which die right after this.
    delete view->top.data();
}

void DesktopWindows::windowEnabledChanged(Window& window) {
    if (QWidget* top = windowWidget(window.id())) top->setEnabled(window.enabled());
}

void DesktopWindows::commonPropertyChanged(Window& window, UnitSlot& slot, int number) {
    if (slot.layout == nullptr) return;
    QWidget* widget = unitWidget({window.id(), slot.layout->id});
    if (widget == nullptr) return;
    switch (number) {
        case common_property::kVisible:
            widget->setVisible(slot.visible);
            break;
        case common_property::kEnabled:
            widget->setEnabled(slot.enabled);
            break;
        case common_property::kWidth:
        case common_property::kHeight:
            widget->resize(slot.geometry.width, slot.geometry.height);
            break;
        default:
            break;
    }
}

void DesktopWindows::userClosed(std::uint32_t windowId) {
    model_.closeWindow(windowId);
    emit windowClosedByUser(windowId);
}

void installDropTargetRegistrar(DesktopWindows& windows) {
    QPointer<DesktopWindows> guarded(&windows);
    DropTarget::setPlatformRegistrar([guarded](DropTarget& target, std::int64_t handle) {
        QWidget* widget = guarded ? guarded->widgetForHandle(handle) : nullptr;
        if (widget == nullptr) return false;
        if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) widget = area->viewport();
        new FileDropFilter(widget, target);
        return true;
    });
}

}  // namespace vex
