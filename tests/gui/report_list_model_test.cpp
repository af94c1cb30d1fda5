#include "runtime/gui/report_list_model.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>

#include "ui/sorting.h"

namespace vex {
namespace {

// Collects what the model tester reports, so a broken contract fails the test.
class ModelTesterFindings {
public:
    ModelTesterFindings() { previous_ = qInstallMessageHandler(&ModelTesterFindings::collect); }
    ~ModelTesterFindings() { qInstallMessageHandler(previous_); }
    static QStringList& findings() {
        static QStringList list;
        return list;
    }

private:
    static void collect(QtMsgType, const QMessageLogContext& context, const QString& message) {
        if (QByteArray(context.category).startsWith("qt.modeltest")) findings().append(message);
    }
    QtMessageHandler previous_;
};

struct SampleList : ReportList {
    SampleList() : ReportList(1, {{"序列", 50}, {"文件类", 50}, {"特征值", 200}}) {
        appendRows({{"1", "png", "89504E47"}, {"2", "exe", "4D5A9000"}, {"3", "PDF", "25504446"}});
    }
};

TEST(ReportListModel, passesTheModelTesterThroughEveryKindOfChange) {
    ModelTesterFindings::findings().clear();
    ModelTesterFindings findings;
    SampleList list;
    ReportListModel model(list);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    QPersistentModelIndex pinned(model.index(0, 1));

    list.appendRows({{"4", "zip", "504B0304"}});
    list.setItemText(1, 2, "changed");
    list.setCheckState(2, check_state::kChecked);
    std::string direction;
    SortByClickedColumn(list, 1, direction);  // descending: zip, png, PDF, exe
    EXPECT_EQ(pinned.row(), 1) << "a persistent index follows its row through a sort";
    list.setRows({});
    list.appendRows({{"9", "a", "b"}});
    list.deleteAllItems();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_TRUE(ModelTesterFindings::findings().isEmpty())
        << ModelTesterFindings::findings().join(QStringLiteral("\n")).toStdString();
}

TEST(ReportListModel, showsTextsLeftAlignedWithACheckBoxOnColumnZero) {
    SampleList list;
    list.setCheckState(1, check_state::kChecked);
    list.setCheckState(2, check_state::kNoBox);
    ReportListModel model(list);
    EXPECT_EQ(model.data(model.index(0, 2)).toString(), QStringLiteral("89504E47"));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("文件类"));
    EXPECT_EQ(model.data(model.index(0, 0), Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
    EXPECT_EQ(model.data(model.index(1, 0), Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Checked);
    EXPECT_FALSE(model.data(model.index(2, 0), Qt::CheckStateRole).isValid());
    EXPECT_FALSE(model.data(model.index(0, 1), Qt::CheckStateRole).isValid());
    EXPECT_TRUE(model.flags(model.index(0, 0)).testFlag(Qt::ItemIsUserCheckable));
    EXPECT_FALSE(model.flags(model.index(0, 1)).testFlag(Qt::ItemIsEditable));
    EXPECT_EQ(model.data(model.index(0, 1), Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignLeft | Qt::AlignVCenter);
}

TEST(ReportListModel, userCheckBoxClickReachesTheUnit) {
    SampleList list;
    ReportListModel model(list);
    int changes = 0;
    QObject::connect(&model, &QAbstractItemModel::dataChanged, [&] { ++changes; });
    EXPECT_TRUE(model.setData(model.index(2, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(list.checkState(2), check_state::kChecked);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(model.setData(model.index(2, 1), QStringLiteral("typed"), Qt::EditRole));
    EXPECT_EQ(list.itemText(2, 1), "PDF");
}

}  // namespace
}  // namespace vex
