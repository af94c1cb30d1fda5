#include "runtime/gui/report_list_model.h"

#include <QApplication>
#include <QIcon>
#include <QStyle>

#include "runtime/gui/window_views.h"

namespace vex {
namespace {

// Views ask about the invisible root too; that is no fault, so no warning.
bool isCell(const QAbstractItemModel& model, const QModelIndex& index) {
    return index.isValid() && index.model() == &model && index.row() < model.rowCount() &&
           index.column() < model.columnCount();
}

// The style's own warning and question icons: drawn in colour, they read alike on light and dark palettes.
QVariant markIcon(CellMark mark) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return {};
    switch (mark) {
        case CellMark::Weak:
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        case CellMark::Doubtful:
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxQuestion);
        case CellMark::None:
            break;
    }
    return {};
}

}  // namespace

ReportListModel::ReportListModel(ReportList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {
    list_.addObserver(this);
}

ReportListModel::~ReportListModel() { list_.removeObserver(this); }

int ReportListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.itemCount();
}

int ReportListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.columnCount();
}

QVariant ReportListModel::data(const QModelIndex& index, int role) const {
    if (!isCell(*this, index)) return {};
    switch (role) {
        case Qt::DisplayRole: {
            const std::string_view text = list_.itemTextView(index.row(), index.column());
            return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        }
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        case Qt::CheckStateRole: {
            if (index.column() != 0 || !list_.hasCheckBoxes()) return {};
            const int state = list_.checkState(index.row());
            if (state == check_state::kNoBox) return {};
            return state == check_state::kChecked ? Qt::Checked : Qt::Unchecked;
        }
        case Qt::ToolTipRole: {
            const std::optional<CellNote> note = list_.cellNote(index.row(), index.column());
            if (!note || note->toolTip.empty()) return {};
            return QString::fromStdString(note->toolTip);
        }
        case Qt::DecorationRole: {
            const std::optional<CellNote> note = list_.cellNote(index.row(), index.column());
            return note ? markIcon(note->mark) : QVariant();
        }
        default:
            return {};
    }
}

bool ReportListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !isCell(*this, index) || index.column() != 0) {
        return false;
    }
    const bool checked = value.value<Qt::CheckState>() == Qt::Checked;
    // The unit tells us about the change, which emits dataChanged.
    return list_.setCheckState(index.row(), checked ? check_state::kChecked : check_state::kUnchecked);
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= list_.columnCount()) return {};
    if (role == Qt::DisplayRole) return shownCaption(list_.columns()[section].caption);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

Qt::ItemFlags ReportListModel::flags(const QModelIndex& index) const {
    if (!isCell(*this, index)) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0 && list_.hasCheckBoxes()) flags |= Qt::ItemIsUserCheckable;
    return flags;
}

void ReportListModel::beginReset() { beginResetModel(); }
void ReportListModel::endReset() { endResetModel(); }

void ReportListModel::beginInsertRows(int first, int last) {
    QAbstractTableModel::beginInsertRows(QModelIndex(), first, last);
}
void ReportListModel::endInsertRows() { QAbstractTableModel::endInsertRows(); }

void ReportListModel::beginPermuteRows() {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ReportListModel::endPermuteRows(const std::vector<int>& newToOld) {
    std::vector<int> oldToNew(newToOld.size());
    for (std::size_t newRow = 0; newRow < newToOld.size(); ++newRow) {
        oldToNew[static_cast<std::size_t>(newToOld[newRow])] = static_cast<int>(newRow);
    }
    const QModelIndexList persistent = persistentIndexList();
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex& index : persistent) {
        const auto oldRow = static_cast<std::size_t>(index.row());
        moved.append(oldRow < oldToNew.size() ? createIndex(oldToNew[oldRow], index.column())
                                              : QModelIndex());
    }
    changePersistentIndexList(persistent, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ReportListModel::cellChanged(int row, int column) {
    if (row < 0 || row >= list_.itemCount()) return;
    const int first = column < 0 ? 0 : column;
    const int last = column < 0 ? list_.columnCount() - 1 : column;
    if (last < first) return;
    emit dataChanged(index(row, first), index(row, last), {Qt::DisplayRole});
}

void ReportListModel::checkStateChanged(int row) {
    if (row < 0 || row >= list_.itemCount() || list_.columnCount() == 0) return;
    emit dataChanged(index(row, 0), index(row, 0), {Qt::CheckStateRole});
}

void ReportListModel::selectionChanged(int currentItem) { emit unitSelectionChanged(currentItem); }

}  // namespace vex
