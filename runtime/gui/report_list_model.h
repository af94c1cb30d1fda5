#pragma once
// Qt view of a report list unit. The unit owns rows, texts, check states and the
// selected row; this model only translates them for QTableView and forwards the
// user's check-box clicks back to the unit. Bulk rebuilds arrive as one model
// reset and sorts as one layout change, so 100,000-row lists stay fast.

#include <QAbstractTableModel>

#include "runtime/report_list.h"

namespace vex {

class ReportListModel : public QAbstractTableModel, private ReportListObserver {
    Q_OBJECT
public:
    explicit ReportListModel(ReportList& list, QObject* parent = nullptr);
    ~ReportListModel() override;

    ReportList& list() const { return list_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The unit's selected row changed (-1: none); the view follows it.
    void unitSelectionChanged(int currentItem);

private:
    void beginReset() override;
    void endReset() override;
    void beginInsertRows(int first, int last) override;
    void endInsertRows() override;
    void beginPermuteRows() override;
    void endPermuteRows(const std::vector<int>& newToOld) override;
    void cellChanged(int row, int column) override;
    void checkStateChanged(int row) override;
    void selectionChanged(int currentItem) override;

    ReportList& list_;
};

}  // namespace vex
