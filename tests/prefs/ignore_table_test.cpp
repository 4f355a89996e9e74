// The filter table over the shared filters dictionary, and its add and edit sheet.
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QMainWindow>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include "model/filters_dictionary.h"
#include "prefs/ignore_table.h"
#include "prefs/prefs_controller.h"
#include "prefs_test_support.h"

namespace velora {
namespace {

class IgnoreTableTest : public test::PrefsTest {
protected:
    IgnoreTableTest() {
        finder = addApp("com.apple.finder", "Finder");
        editor = addApp("org.example.editor", "Editor");
        anonymous = addApp("", "Mystery");
        table.resize(500, 300);
        table.show();
    }

    pid_t addApp(const std::string& bundle, const std::string& name) {
        sim::ApplicationSpec app;
        app.bundleIdentifier = bundle;
        app.name = name;
        return sim.addApplication(app);
    }
    // The engine's start: the stored dictionary, or the one-entry default.
    void loadFilters() { VLSettings::shared().setFilters(getFiltersDictionary()); }
    QStringList menuTitles(QComboBox* menu) {
        QStringList titles;
        for (int i = 0; i < menu->count(); ++i) titles << menu->itemText(i);
        return titles;
    }
    int menuIndexOf(const QString& bundle) { return table.applications()->findData(bundle, Qt::ToolTipRole); }
    QString cell(int row, int column) { return table.tableView()->model()->index(row, column).data().toString(); }
    void doubleClickAt(QPoint at) { QTest::mouseDClick(table.tableView()->viewport(), Qt::LeftButton, {}, at); }
    QPoint rowCentre(int row) { return table.tableView()->visualRect(table.tableView()->model()->index(row, 0)).center(); }
    FilterDictionary storedFilters() { return filtersFromStoredValue(storedValue("filters")).value_or(FilterDictionary{}); }

    pid_t finder = 0, editor = 0, anonymous = 0;
    IgnoreTable table;
};

TEST_F(IgnoreTableTest, WithNothingStoredTheTableShowsAllApplicationsAtHigh) {
    loadFilters();
    table.reloadData();
    ASSERT_EQ(table.numberOfRows(), 1);
    EXPECT_EQ(cell(0, 0), "All applications");
    EXPECT_EQ(cell(0, 1), "High");
    auto* model = table.tableView()->model();
    EXPECT_EQ(model->headerData(0, Qt::Horizontal, Qt::UserRole).toString(), "application");
    EXPECT_EQ(model->headerData(1, Qt::Horizontal, Qt::UserRole).toString(), "filter");
}

TEST_F(IgnoreTableTest, TheAddSheetOffersEveryRunningApplicationAndTotalFinderOnlyForTheFinder) {
    loadFilters();
    table.addButton()->click();
    ASSERT_TRUE(table.addFilterWindow()->isVisible());
    EXPECT_EQ(table.addFilterWindow()->windowModality(), Qt::WindowModal);
    EXPECT_EQ(menuTitles(table.applications()), (QStringList{"All applications", "Finder", "Editor", "Mystery"}));
    EXPECT_EQ(table.applications()->itemData(0, Qt::ToolTipRole).toString(), "All applications");
    EXPECT_EQ(table.applications()->itemData(1, Qt::ToolTipRole).toString(), "com.apple.finder");
    EXPECT_EQ(table.applications()->iconSize(), QSize(32, 32));
    for (int i = 0; i < table.applications()->count(); ++i) EXPECT_FALSE(table.applications()->itemIcon(i).isNull()) << i;

    EXPECT_EQ(menuTitles(table.filterLevels()), (QStringList{"Low", "Medium", "High", "Block all"}));
    EXPECT_EQ(table.filterLevels()->currentText(), "High");

    table.applications()->setCurrentIndex(menuIndexOf("com.apple.finder"));
    EXPECT_EQ(menuTitles(table.filterLevels()), (QStringList{"Low", "Medium", "High", "Block all", "TotalFinder"}));
    table.applications()->setCurrentIndex(menuIndexOf("org.example.editor"));
    EXPECT_EQ(menuTitles(table.filterLevels()), (QStringList{"Low", "Medium", "High", "Block all"}));

    table.filterLevels()->setCurrentIndex(3);
    table.confirmButton()->click();
    EXPECT_FALSE(table.addFilterWindow()->isVisible());
    EXPECT_EQ(table.numberOfRows(), 2);
    EXPECT_EQ((*VLSettings::shared().filters()).at("org.example.editor"), 3);
    EXPECT_EQ(storedFilters(), (FilterDictionary{{"All applications", 2}, {"org.example.editor", 3}}));
}

TEST_F(IgnoreTableTest, DoubleClickEditsOnlyThatEntryWithItsLevelPreselected) {
    VLSettings::shared().setFilters({{"All applications", 2}, {"com.apple.finder", 4}, {"org.example.gone", 9}});
    table.reloadData();
    ASSERT_EQ(table.numberOfRows(), 3);

    doubleClickAt(rowCentre(1));  // the Finder's row (keys in the dictionary's order)
    ASSERT_TRUE(table.addFilterWindow()->isVisible());
    EXPECT_EQ(menuTitles(table.applications()), QStringList{"Finder"});
    EXPECT_EQ(table.applications()->currentData(Qt::ToolTipRole).toString(), "com.apple.finder");
    EXPECT_EQ(table.filterLevels()->currentText(), "TotalFinder");
    table.cancelButton()->click();

    // A level outside 0 to 4 acts as Medium, so it shows, and preselects, as "Medium".
    EXPECT_EQ(cell(2, 1), "Medium");
    EXPECT_EQ(cell(2, 0), "Unknown");
    table.itemClicked(2);
    EXPECT_EQ(table.filterLevels()->currentText(), "Medium");
    table.filterLevels()->setCurrentIndex(0);
    table.confirmButton()->click();
    EXPECT_EQ(table.numberOfRows(), 3);
    EXPECT_EQ(cell(2, 1), "Low");
    EXPECT_EQ(storedFilters().at("org.example.gone"), 0);
}

TEST_F(IgnoreTableTest, DoubleClickBelowTheLastRowAdds) {
    loadFilters();
    table.reloadData();
    doubleClickAt(QPoint(50, table.tableView()->viewport()->height() - 5));
    ASSERT_TRUE(table.addFilterWindow()->isVisible());
    EXPECT_EQ(table.applications()->count(), 4);
    EXPECT_EQ(table.applications()->currentText(), "All applications");
}

TEST_F(IgnoreTableTest, AddingAnExistingEntryReplacesItsLevel) {
    VLSettings::shared().setFilters({{"All applications", 2}, {"org.example.editor", 1}});
    table.reloadData();
    table.addButtonPressed();
    table.applications()->setCurrentIndex(menuIndexOf("org.example.editor"));
    table.filterLevels()->setCurrentIndex(0);
    table.addFilter();
    EXPECT_EQ(table.numberOfRows(), 2);
    EXPECT_EQ(VLSettings::shared().filters()->at("org.example.editor"), 0);
}

TEST_F(IgnoreTableTest, CancellingChangesNothingButStillSaves) {
    VLSettings::shared().setFilters({{"All applications", 1}});
    table.addButtonPressed();
    table.filterLevels()->setCurrentIndex(3);
    table.cancelButton()->click();
    EXPECT_EQ(*VLSettings::shared().filters(), (FilterDictionary{{"All applications", 1}}));
    EXPECT_EQ(storedFilters(), (FilterDictionary{{"All applications", 1}}));
}

TEST_F(IgnoreTableTest, DeleteRemovesTheSelectedEntryAndNothingWithoutASelection) {
    VLSettings::shared().setFilters({{"All applications", 2}, {"org.example.editor", 1}});
    table.reloadData();
    table.deleteButton()->click();
    EXPECT_EQ(table.numberOfRows(), 2);

    table.tableView()->selectRow(0);
    table.deleteButton()->click();
    EXPECT_EQ(*VLSettings::shared().filters(), (FilterDictionary{{"org.example.editor", 1}}));
    EXPECT_EQ(table.numberOfRows(), 1);
    EXPECT_EQ(cell(0, 0), "Editor");
    EXPECT_EQ(storedFilters(), (FilterDictionary{{"org.example.editor", 1}}));
}

TEST_F(IgnoreTableTest, AnApplicationWithoutBundleIdentifierCannotBeFiltered) {
    loadFilters();
    table.addButtonPressed();
    table.applications()->setCurrentIndex(table.applications()->findText("Mystery"));
    EXPECT_FALSE(table.confirmButton()->isEnabled());
    EXPECT_FALSE(table.confirmButton()->toolTip().isEmpty());
    table.addFilter();  // even if confirmed some other way
    EXPECT_FALSE(table.addFilterWindow()->isVisible());
    EXPECT_EQ(*VLSettings::shared().filters(), (FilterDictionary{{"All applications", 2}}));

    table.addButtonPressed();
    EXPECT_TRUE(table.confirmButton()->isEnabled());
    table.cancelFilter();
}

TEST_F(IgnoreTableTest, RowNamesComeFromTheBundleInOrderThenThePathThenUnknown) {
    sim.installBundle("a.display", {"/opt/A.app", "Display A", "Name A", "exe-a"});
    sim.installBundle("b.name", {"/opt/B.app", std::nullopt, "Name B", "exe-b"});
    sim.installBundle("c.exe", {"/opt/C.app", std::nullopt, std::nullopt, "exe-c"});
    sim.installBundle("d.path", {"/usr/share/applications/d-viewer.desktop", std::nullopt, std::nullopt, std::nullopt});
    EXPECT_EQ(IgnoreTable::displayNameForKey("All applications"), "All applications");
    EXPECT_EQ(IgnoreTable::displayNameForKey("a.display"), "Display A");
    EXPECT_EQ(IgnoreTable::displayNameForKey("b.name"), "Name B");
    EXPECT_EQ(IgnoreTable::displayNameForKey("c.exe"), "exe-c");
    EXPECT_EQ(IgnoreTable::displayNameForKey("d.path"), "d-viewer");
    EXPECT_EQ(IgnoreTable::displayNameForKey("not.installed"), "Unknown");
    // Running without an installed bundle: the application's own name.
    EXPECT_EQ(IgnoreTable::displayNameForKey("org.example.editor"), "Editor");
}

TEST_F(IgnoreTableTest, AChangeInTheWindowReachesTheSharedSettingsAtOnce) {
    DBPrefsWindowController::releaseSharedPrefsWindowController();
    PrefsController& prefs = PrefsController::sharedPrefsWindowController();
    loadFilters();
    prefs.showWindow();
    prefs.displayViewForIdentifier("Filters", false);
    IgnoreTable* inWindow = prefs.ignoreTable();
    ASSERT_NE(inWindow, nullptr);
    EXPECT_EQ(inWindow->window(), prefs.window());
    EXPECT_EQ(inWindow->numberOfRows(), 1);

    auto before = VLSettings::shared().filters();
    inWindow->addButtonPressed();
    EXPECT_EQ(inWindow->addFilterWindow()->parentWidget()->window(), prefs.window());
    inWindow->applications()->setCurrentIndex(inWindow->applications()->findData("com.apple.finder", Qt::ToolTipRole));
    inWindow->filterLevels()->setCurrentIndex(4);
    inWindow->confirmButton()->click();
    EXPECT_EQ(VLSettings::shared().filters()->at("com.apple.finder"), 4);
    // Readers holding the old snapshot keep it whole.
    EXPECT_EQ(*before, (FilterDictionary{{"All applications", 2}}));
    EXPECT_EQ(inWindow->numberOfRows(), 2);
}

} // namespace
} // namespace velora
