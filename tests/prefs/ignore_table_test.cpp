// The filter table over the shared filters dictionary, and its add and edit sheet.
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include "model/filters_dictionary.h"
#include "prefs/ignore_table.h"
#include "prefs_test_support.h"

namespace velora {
namespace {

class IgnoreTableTest : public test::PrefsTest {
  protected:
    IgnoreTableTest() {
        addApplication("org.example.editor", "Editor");
        addApplication("", "Mystery");
        table.resize(500, 300);
        table.show();
    }

    QString cell(int row, int column) {
        return table.tableView()->model()->index(row, column).data().toString();
    }
    void doubleClickAt(QPoint at) {
        QTest::mouseDClick(table.tableView()->viewport(), Qt::LeftButton, {}, at);
    }
    FilterDictionary storedFilters() {
        return filtersFromStoredValue(storedValue("filters")).value_or(FilterDictionary{});
    }

    IgnoreTable table;
};

TEST_F(IgnoreTableTest, TheAddSheetOffersEveryRunningApplicationAndAddingAgainReplacesTheLevel) {
    VLSettings::shared().setFilters(getFiltersDictionary()); // nothing stored: the one default entry
    table.reloadData();
    ASSERT_EQ(table.numberOfRows(), 1);
    EXPECT_EQ(cell(0, 0), "All applications");

    // A double click below the last row adds.
    doubleClickAt(QPoint(50, table.tableView()->viewport()->height() - 5));
    ASSERT_TRUE(table.addFilterWindow()->isVisible());
    QStringList offered;
    for (int i = 0; i < table.applications()->count(); ++i)
        offered << table.applications()->itemText(i);
    EXPECT_EQ(offered, (QStringList{"All applications", "Editor", "Mystery"}));
    EXPECT_EQ(table.filterLevels()->currentText(), "High");
    const int editor = table.applications()->findData("org.example.editor", Qt::ToolTipRole);
    table.applications()->setCurrentIndex(editor);
    table.filterLevels()->setCurrentIndex(3);
    table.confirmButton()->click();
    EXPECT_FALSE(table.addFilterWindow()->isVisible());
    EXPECT_EQ(storedFilters(), (FilterDictionary{{"All applications", 2}, {"org.example.editor", 3}}));

    // Adding an existing entry replaces its level; readers holding the old snapshot keep it whole.
    const auto before = VLSettings::shared().filters();
    table.addButton()->click();
    table.applications()->setCurrentIndex(editor);
    table.filterLevels()->setCurrentIndex(0);
    table.addFilter();
    EXPECT_EQ(table.numberOfRows(), 2);
    EXPECT_EQ(VLSettings::shared().filters()->at("org.example.editor"), 0);
    EXPECT_EQ(before->at("org.example.editor"), 3);
}

TEST_F(IgnoreTableTest, DoubleClickEditsOnlyThatEntryWithItsLevelPreselected) {
    VLSettings::shared().setFilters({{"All applications", 2}, {"org.example.editor", 3}});
    table.reloadData();
    ASSERT_EQ(table.numberOfRows(), 2);

    // The editor's row: the second, in the dictionary's order.
    doubleClickAt(table.tableView()->visualRect(table.tableView()->model()->index(1, 0)).center());
    ASSERT_TRUE(table.addFilterWindow()->isVisible());
    ASSERT_EQ(table.applications()->count(), 1);
    EXPECT_EQ(table.applications()->itemText(0), "Editor");
    EXPECT_EQ(table.filterLevels()->currentText(), "Block all");
    table.filterLevels()->setCurrentIndex(0);
    table.confirmButton()->click();
    EXPECT_EQ(storedFilters(), (FilterDictionary{{"All applications", 2}, {"org.example.editor", 0}}));
}

TEST_F(IgnoreTableTest, CancelAndAnApplicationWithoutIdentifierChangeNothingDeleteTakesOnlyTheSelection) {
    VLSettings::shared().setFilters({{"All applications", 2}, {"org.example.editor", 1}});
    table.reloadData();
    table.addButtonPressed();
    table.filterLevels()->setCurrentIndex(3);
    table.cancelButton()->click();
    table.addButtonPressed();
    table.applications()->setCurrentIndex(table.applications()->findText("Mystery"));
    EXPECT_FALSE(table.confirmButton()->isEnabled());
    table.addFilter(); // even if confirmed some other way
    EXPECT_FALSE(table.addFilterWindow()->isVisible());
    EXPECT_EQ(storedFilters(), (FilterDictionary{{"All applications", 2}, {"org.example.editor", 1}}));
    table.addButtonPressed();
    EXPECT_TRUE(table.confirmButton()->isEnabled());
    table.cancelFilter();

    table.deleteButton()->click(); // no selection
    EXPECT_EQ(table.numberOfRows(), 2);
    table.tableView()->selectRow(0);
    table.deleteButton()->click();
    EXPECT_EQ(*VLSettings::shared().filters(), (FilterDictionary{{"org.example.editor", 1}}));
    EXPECT_EQ(cell(0, 0), "Editor");
    EXPECT_EQ(storedFilters(), (FilterDictionary{{"org.example.editor", 1}}));
}

} // namespace
} // namespace velora
