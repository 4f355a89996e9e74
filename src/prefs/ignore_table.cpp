#include "prefs/ignore_table.h"

#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <filesystem>
#include <iterator>

#include "model/filter_levels.h"
#include "model/filters_dictionary.h"
#include "model/vl_settings.h"
#include "platform/platform.h"
#include "prefs/named_image.h"
#include "settings/user_defaults.h"

namespace velora {

namespace {

constexpr const char* kFinderBundle = "com.apple.finder";
constexpr QSize kMenuIconSize(32, 32);

QIcon iconOf(const RunningApplicationRef& app) {
    ImageRef image = app->icon();
    if (!image || image->isEmpty()) return {};
    const QImage best =
        image->bestRepresentation(Size{double(kMenuIconSize.width()), double(kMenuIconSize.height())});
    return QIcon(
        QPixmap::fromImage(best.scaled(kMenuIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

RunningApplicationRef runningApplicationWithBundle(const std::string& bundle) {
    if (!hasPlatform() || bundle.empty()) return nullptr;
    for (const RunningApplicationRef& app : workspace().runningApplications())
        if (app->bundleIdentifier() == bundle) return app;
    return nullptr;
}

const char* levelDescription(int level) {
    switch (level) {
    case kFilterLevelLow:
        return "Every window with a title.";
    case kFilterLevelMedium:
        return "Standard windows, and other windows that have content.";
    case kFilterLevelHigh:
        return "Standard windows whose titles the desktop confirms (the default).";
    case kFilterLevelBlockAll:
        return "None of the application's windows.";
    case kFilterLevelTotalFinder:
        return "The file viewer's own rules.";
    default:
        return "";
    }
}

} // namespace

// --- model

int IgnoreTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(VLSettings::shared().filters()->size());
}

int IgnoreTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

std::string IgnoreTableModel::keyAt(int row) const {
    auto filters = VLSettings::shared().filters();
    if (row < 0 || row >= int(filters->size())) return {};
    return std::next(filters->begin(), row)->first;
}

int IgnoreTableModel::levelAt(int row) const {
    auto filters = VLSettings::shared().filters();
    if (row < 0 || row >= int(filters->size())) return kDefaultFilterLevel;
    return std::next(filters->begin(), row)->second;
}

QVariant IgnoreTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const std::string key = keyAt(index.row());
    if (key.empty()) return {};
    if (index.column() == 0) {
        switch (role) {
        case Qt::DisplayRole:
            return IgnoreTable::displayNameForKey(key);
        case Qt::ToolTipRole:
            return QString::fromStdString(key);
        case Qt::DecorationRole: {
            if (key == kAllApplications) return namedImage(QStringLiteral("allApps"));
            if (auto app = runningApplicationWithBundle(key)) return iconOf(app);
            return {};
        }
        default:
            return {};
        }
    }
    if (index.column() == 1 && role == Qt::DisplayRole)
        return QString::fromLatin1(filterLevelName(levelAt(index.row())));
    return {};
}

QVariant IgnoreTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole)
        return section == 0 ? QStringLiteral("Application") : QStringLiteral("Filter level");
    if (role == Qt::UserRole) return QString::fromLatin1(section == 0 ? kApplicationColumn : kFilterColumn);
    return {};
}

void IgnoreTableModel::reload() {
    beginResetModel();
    endResetModel();
}

// --- table

IgnoreTable::IgnoreTable(QWidget* parent) : QWidget(parent) {
    model_ = new IgnoreTableModel(this);
    tableView_ = new QTableView;
    tableView_->setObjectName(QStringLiteral("filtersTable"));
    tableView_->setModel(model_);
    tableView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableView_->setSelectionMode(QAbstractItemView::SingleSelection);
    tableView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableView_->setAlternatingRowColors(true);
    tableView_->setShowGrid(false);
    tableView_->setWordWrap(false);
    tableView_->setIconSize(QSize(20, 20));
    tableView_->verticalHeader()->hide();
    tableView_->verticalHeader()->setDefaultSectionSize(26);
    tableView_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    tableView_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
    tableView_->horizontalHeader()->resizeSection(1, 130);
    tableView_->horizontalHeader()->setHighlightSections(false);
    tableView_->viewport()->installEventFilter(this);
    tableView_->installEventFilter(this);

    addButton_ = new QPushButton(QStringLiteral("+"));
    addButton_->setObjectName(QStringLiteral("addFilterButton"));
    addButton_->setToolTip(QStringLiteral("Add a filter"));
    deleteButton_ = new QPushButton(QStringLiteral("−"));
    deleteButton_->setObjectName(QStringLiteral("deleteFilterButton"));
    deleteButton_->setToolTip(QStringLiteral("Delete the selected filter"));
    for (QPushButton* b : {addButton_, deleteButton_})
        b->setFixedSize(30, 24);
    connect(addButton_, &QPushButton::clicked, this, [this] { addButtonPressed(); });
    connect(deleteButton_, &QPushButton::clicked, this, [this] { deleteButtonPressed(); });

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    buttons->addWidget(addButton_);
    buttons->addWidget(deleteButton_);
    buttons->addStretch(1);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    column->addWidget(tableView_, 1);
    column->addLayout(buttons);

    buildSheet();
}

IgnoreTable::~IgnoreTable() = default;

void IgnoreTable::buildSheet() {
    addFilterWindow_ = new QDialog(this);
    addFilterWindow_->setObjectName(QStringLiteral("addFilterWindow"));
    addFilterWindow_->setWindowModality(Qt::WindowModal);

    applications_ = new QComboBox;
    applications_->setObjectName(QStringLiteral("applications"));
    applications_->setIconSize(kMenuIconSize);
    applications_->setMinimumWidth(280);
    filterLevels_ = new QComboBox;
    filterLevels_->setObjectName(QStringLiteral("filterLevels"));
    auto* levelHelp = new QLabel;
    levelHelp->setWordWrap(true);
    levelHelp->setEnabled(false);
    sheetNote_ = new QLabel;
    sheetNote_->setWordWrap(true);
    sheetNote_->setStyleSheet(QStringLiteral("color: #b03a2e;"));
    sheetNote_->hide();

    confirmButton_ = new QPushButton(QStringLiteral("Save"));
    confirmButton_->setObjectName(QStringLiteral("confirmFilterButton"));
    confirmButton_->setDefault(true);
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"));
    cancelButton_->setObjectName(QStringLiteral("cancelFilterButton"));

    connect(confirmButton_, &QPushButton::clicked, this, [this] { addFilter(); });
    connect(cancelButton_, &QPushButton::clicked, this, [this] { cancelFilter(); });
    connect(applications_, &QComboBox::currentIndexChanged, this, [this] { applicationsButtonClicked(); });
    connect(filterLevels_, &QComboBox::currentIndexChanged, levelHelp,
            [levelHelp](int level) { levelHelp->setText(QString::fromLatin1(levelDescription(level))); });
    connect(addFilterWindow_, &QDialog::finished, this, [this] { sheetDidEnd(); });

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Application:"), applications_);
    form->addRow(QStringLiteral("Filter level:"), filterLevels_);
    form->addRow(QString(), levelHelp);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancelButton_);
    buttons->addWidget(confirmButton_);

    auto* column = new QVBoxLayout(addFilterWindow_);
    column->addLayout(form);
    column->addWidget(sheetNote_);
    column->addSpacing(6);
    column->addLayout(buttons);
}

int IgnoreTable::numberOfRows() const {
    return model_->rowCount();
}

std::string IgnoreTable::getRowBundle(int row) const {
    return model_->keyAt(row);
}

QString IgnoreTable::getRowFilter(int row) const {
    return QString::fromLatin1(filterLevelName(model_->levelAt(row)));
}

QString IgnoreTable::getRowName(int row) const {
    return displayNameForKey(getRowBundle(row));
}

QString IgnoreTable::displayNameForKey(const std::string& key) {
    if (key == kAllApplications) return QString::fromLatin1(kAllApplications);
    if (!hasPlatform()) return QStringLiteral("Unknown");
    if (auto info = workspace().bundleInfoForIdentifier(key)) {
        for (const auto* name : {&info->displayName, &info->name, &info->executable})
            if (*name && !(*name)->empty()) return QString::fromStdString(**name);
        if (!info->path.empty())
            return QString::fromStdString(std::filesystem::path(info->path).stem().string());
    }
    // Applications that run without an installed bundle still have a name.
    if (auto app = runningApplicationWithBundle(key); app && !app->localizedName().empty())
        return QString::fromStdString(app->localizedName());
    return QStringLiteral("Unknown");
}

void IgnoreTable::reloadData() {
    model_->reload();
}

void IgnoreTable::generateAppsMenu() {
    QSignalBlocker quiet(applications_);
    applications_->clear();
    applications_->addItem(namedImage(QStringLiteral("allApps")), QString::fromLatin1(kAllApplications));
    applications_->setItemData(0, QString::fromLatin1(kAllApplications), Qt::ToolTipRole);
    if (hasPlatform()) {
        for (const RunningApplicationRef& app : workspace().runningApplications()) {
            applications_->addItem(iconOf(app), QString::fromStdString(app->localizedName()));
            applications_->setItemData(applications_->count() - 1,
                                       QString::fromStdString(app->bundleIdentifier()), Qt::ToolTipRole);
        }
    }
    applications_->setCurrentIndex(0);
}

void IgnoreTable::generateFiltersMenu() {
    filterLevels_->clear();
    for (int level = kFilterLevelLow; level <= kFilterLevelBlockAll; ++level)
        filterLevels_->addItem(QString::fromLatin1(filterLevelName(level)));
    if (applications_->currentData(Qt::ToolTipRole).toString() == QLatin1String(kFinderBundle))
        filterLevels_->addItem(QString::fromLatin1(filterLevelName(kFilterLevelTotalFinder)));
    filterLevels_->setCurrentIndex(kDefaultFilterLevel);
}

void IgnoreTable::applicationsButtonClicked() {
    generateFiltersMenu();
    updateConfirmButton();
}

void IgnoreTable::updateConfirmButton() {
    const bool hasKey = applications_->currentIndex() >= 0 &&
                        !applications_->currentData(Qt::ToolTipRole).toString().isEmpty();
    static const QString why = QStringLiteral("This application does not say which application it is (it has "
                                              "no identifier), so no filter can be kept for it.");
    confirmButton_->setEnabled(hasKey);
    confirmButton_->setToolTip(hasKey ? QString() : why);
    sheetNote_->setText(why);
    sheetNote_->setVisible(!hasKey);
}

void IgnoreTable::addButtonPressed() {
    generateAppsMenu();
    generateFiltersMenu();
    updateConfirmButton();
    beginSheet(QStringLiteral("Add a filter"));
}

void IgnoreTable::itemClicked(int row) {
    if (row < 0 || row >= numberOfRows()) {
        addButtonPressed();
        return;
    }
    {
        QSignalBlocker quiet(applications_);
        applications_->clear();
        applications_->addItem(getRowName(row));
        applications_->setItemData(0, QString::fromStdString(getRowBundle(row)), Qt::ToolTipRole);
        applications_->setCurrentIndex(0);
    }
    generateFiltersMenu();
    filterLevels_->setCurrentIndex(filterLevels_->findText(getRowFilter(row)));
    updateConfirmButton();
    beginSheet(QStringLiteral("Edit the filter"));
}

void IgnoreTable::beginSheet(const QString& title) {
    addFilterWindow_->setWindowTitle(title);
    addFilterWindow_->adjustSize();
    addFilterWindow_->open();
}

void IgnoreTable::addFilter() {
    const int level = filterLevels_->currentIndex();
    const QString key = applications_->currentData(Qt::ToolTipRole).toString();
    if (level != -1 && applications_->currentIndex() != -1 && !key.isEmpty()) {
        VLSettings::shared().updateFilters(
            [&](FilterDictionary& filters) { filters[key.toStdString()] = level; });
    }
    addFilterWindow_->done(1);
}

void IgnoreTable::cancelFilter() {
    addFilterWindow_->done(0);
}

void IgnoreTable::sheetDidEnd() {
    saveDefaults();
    reloadData();
}

void IgnoreTable::deleteButtonPressed() {
    const QModelIndex current = tableView_->selectionModel()->currentIndex();
    const bool selected = current.isValid() && tableView_->selectionModel()->isRowSelected(current.row(), {});
    if (!selected) return;
    const std::string key = getRowBundle(current.row());
    VLSettings::shared().updateFilters([&](FilterDictionary& filters) { filters.erase(key); });
    reloadData();
    saveDefaults();
}

void IgnoreTable::saveDefaults() {
    PlistValue::Dictionary stored;
    for (const auto& [key, level] : *VLSettings::shared().filters())
        stored.emplace(key, PlistValue(int64_t(level)));
    UserDefaults& defaults = UserDefaults::standard();
    defaults.setObject(kFiltersDefaultsKey, PlistValue(std::move(stored)));
    defaults.synchronize();
}

bool IgnoreTable::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tableView_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        auto* click = static_cast<QMouseEvent*>(event);
        if (click->button() == Qt::LeftButton) {
            itemClicked(tableView_->indexAt(click->position().toPoint()).row());
            return true;
        }
    }
    if (watched == tableView_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier &&
            (key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace)) {
            deleteButtonPressed();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace velora
