#pragma once
// The table of per-application filter levels in the Filters pane, over the shared filters
// dictionary (VLSettings::shared().filters()): one row per entry in the dictionary's own order,
// columns "application" (the application's name) and "filter" (the level's name). The table
// keeps no copy: every display reads the dictionary, and every edit replaces it at once, so the
// switching engine sees a change at its next evaluation. After every change the whole
// dictionary is written to the user defaults under "filters" and synchronized.
//
// - Add (the + button, or a double click below the last row) and edit (a double click on a
//   row) go through one sheet: a window-modal dialog on the preferences window with the
//   application menu and the level menu. The dialog is opened without a nested event loop;
//   its end (confirm or cancel) saves the defaults and reloads the table.
// - The application menu offers "All applications" and the running applications (32x32 icons,
//   the bundle identifier as tool tip, which is also the key the level is stored under).
// - The level menu offers "Low", "Medium", "High", "Block all", plus "TotalFinder" while the
//   chosen application is "com.apple.finder". Adding starts at "High", the default level.
// - A running application without a bundle identifier has no key to store a level under: the
//   sheet then disables its confirm button and says why, and nothing is stored.
// - The - button (or Delete/Backspace in the table) deletes the selected row's entry.

#include <QAbstractTableModel>
#include <QString>
#include <QWidget>
#include <string>

class QComboBox;
class QDialog;
class QLabel;
class QPushButton;
class QTableView;

namespace velora {

class IgnoreTableModel;

class IgnoreTable : public QWidget {
    Q_OBJECT

  public:
    explicit IgnoreTable(QWidget* parent = nullptr);
    ~IgnoreTable() override;

    QTableView* tableView() const { return tableView_; }
    QPushButton* addButton() const { return addButton_; }
    QPushButton* deleteButton() const { return deleteButton_; }
    // The sheet and its controls.
    QDialog* addFilterWindow() const { return addFilterWindow_; }
    QComboBox* applications() const { return applications_; }
    QComboBox* filterLevels() const { return filterLevels_; }
    QPushButton* confirmButton() const { return confirmButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

    // Actions.
    void addButtonPressed();
    void deleteButtonPressed();
    // Double click on a row (edit), or on no row (-1: add).
    void itemClicked(int row);
    void addFilter();
    void cancelFilter();
    void applicationsButtonClicked();

    void saveDefaults();
    void generateAppsMenu();
    void generateFiltersMenu();
    void reloadData();

    int numberOfRows() const;
    QString getRowName(int row) const;
    std::string getRowBundle(int row) const;
    QString getRowFilter(int row) const;

    // The display name of a filters key: "All applications", the application's bundle names in
    // order, the bundle path's last component, a running application's name, else "Unknown".
    static QString displayNameForKey(const std::string& key);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildSheet();
    void beginSheet(const QString& title);
    void sheetDidEnd();
    void updateConfirmButton();

    IgnoreTableModel* model_ = nullptr;
    QTableView* tableView_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QDialog* addFilterWindow_ = nullptr;
    QComboBox* applications_ = nullptr;
    QComboBox* filterLevels_ = nullptr;
    QLabel* sheetNote_ = nullptr;
    QPushButton* confirmButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

// The table's data, read from the shared filters dictionary at every call.
class IgnoreTableModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    // Column identifiers, in the header's Qt::UserRole.
    static constexpr const char* kApplicationColumn = "application";
    static constexpr const char* kFilterColumn = "filter";

    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void reload();

    std::string keyAt(int row) const;
    int levelAt(int row) const;
};

} // namespace velora
