#include "prefs/prefs_interface.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "prefs/defaults_controls.h"
#include "prefs/ignore_table.h"
#include "prefs/named_image.h"
#include "prefs/prefs_controller.h"
#include "prefs/shortcut_recorder.h"
#include "prefs/vl_pref_view.h"
#include "velora_config.h"

namespace velora {

namespace {

// Panel sizes the size sliders offer, in pixels.
constexpr double kMinPanelWidth = 200, kMaxPanelWidth = 2000;
constexpr double kMinPanelHeight = 150, kMaxPanelHeight = 1400;
// The display delay slider: 0 to 2 seconds in tenths (its label shows one decimal).
constexpr double kMaxDisplayDelay = 2.0, kDisplayDelayStep = 0.1;

VLPrefView* makePane(QWidget* parent, const QString& name) {
    auto* pane = new VLPrefView(parent);
    pane->setObjectName(name);
    auto* column = new QVBoxLayout(pane);
    column->setContentsMargins(20, 16, 20, 18);
    column->setSpacing(12);
    return pane;
}

QVBoxLayout* column(QWidget* pane) {
    return static_cast<QVBoxLayout*>(pane->layout());
}

// A titled group whose contents stack top to bottom.
QVBoxLayout* addGroup(QWidget* pane, const QString& title) {
    auto* group = new QGroupBox(title);
    auto* inside = new QVBoxLayout(group);
    inside->setSpacing(6);
    column(pane)->addWidget(group);
    return inside;
}

QLabel* note(const QString& text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    label->setFont(small);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QLabel* richText(const QString& html) {
    auto* label = new QLabel(html);
    label->setTextFormat(Qt::RichText);
    label->setWordWrap(true);
    label->setOpenExternalLinks(true);
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    label->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    return label;
}

DefaultsCheckBox* checkBox(PreferencesInterface& ui, QVBoxLayout* into, const char* key,
                           const QString& title) {
    auto* box = new DefaultsCheckBox(QString::fromLatin1(key), title);
    ui.checkBoxes.push_back(box);
    into->addWidget(box);
    return box;
}

SRRecorderControl* recorder(PreferencesInterface& ui, const char* identifier) {
    auto* control = new SRRecorderControl;
    control->setObjectName(QString::fromLatin1(identifier));
    ui.recorders[identifier] = control;
    return control;
}

void buildGeneral(PreferencesInterface& ui) {
    VLPrefView* pane = ui.general;
    QVBoxLayout* startup = addGroup(pane, QStringLiteral("Start-up and menu icon"));
    checkBox(ui, startup, "startAtLogin", QStringLiteral("Start Velora when I log in"));
    checkBox(ui, startup, "hideIcon", QStringLiteral("Hide the menu icon"));
    checkBox(ui, startup, "monoIcon", QStringLiteral("Use a monochrome menu icon"));

    auto* shortcuts = new QGroupBox(QStringLiteral("Keyboard shortcuts"));
    auto* grid = new QGridLayout(shortcuts);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    auto* forward = new QLabel(QStringLiteral("Forward"));
    auto* backward = new QLabel(QStringLiteral("Backward"));
    for (QLabel* heading : {forward, backward})
        heading->setAlignment(Qt::AlignCenter);
    ui.configLinesNote = note(QString());
    ui.configLinesNote->setObjectName(QStringLiteral("configLinesNote"));
    ui.configLinesNote->hide();
    grid->addWidget(ui.configLinesNote, 0, 0, 1, 3);
    grid->addWidget(forward, 1, 1);
    grid->addWidget(backward, 1, 2);
    struct Row {
        const char* label;
        const char* forward;
        const char* backward;
    };
    const Row rows[] = {
        {"Applications:", kKeyCycleAppForward, kKeyCycleAppBackward},
        {"All windows:", kKeyCycleWindowForward, kKeyCycleWindowBackward},
        {"Windows of the application:", kKeyCycleAppWindowForward, kKeyCycleAppWindowBackward},
    };
    int line = 2;
    // The line takes the whole row, its Copy button at the end.
    auto configLine = [&](const char* identifier, int row) {
        auto* holder = new QWidget;
        auto* across = new QHBoxLayout(holder);
        across->setContentsMargins(0, 0, 0, 0);
        auto* label = new QLabel;
        label->setObjectName(QStringLiteral("configLine-") + QString::fromLatin1(identifier));
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        ui.configLines[identifier] = label;
        across->addWidget(label, 1);
        auto* copy = new QPushButton(QStringLiteral("Copy"));
        copy->setObjectName(QStringLiteral("copyConfigLine-") + QString::fromLatin1(identifier));
        copy->setToolTip(QStringLiteral("Copies the line to the clipboard"));
        QObject::connect(copy, &QPushButton::clicked, label,
                         [label] { QGuiApplication::clipboard()->setText(label->text()); });
        across->addWidget(copy, 0, Qt::AlignTop);
        grid->addWidget(holder, row, 0, 1, 3);
        holder->hide(); // the row shows only with a line
    };
    auto conflictLabel = [&](const char* identifier, int column) {
        auto* label = new QLabel;
        label->setObjectName(QStringLiteral("conflict-") + QString::fromLatin1(identifier));
        label->setAlignment(Qt::AlignCenter);
        label->setStyleSheet(QStringLiteral("color: #b35c00;"));
        label->hide();
        ui.conflictLabels[identifier] = label;
        grid->addWidget(label, line + 1, column);
    };
    for (const Row& row : rows) {
        grid->addWidget(new QLabel(QString::fromLatin1(row.label)), line, 0, Qt::AlignRight);
        grid->addWidget(recorder(ui, row.forward), line, 1);
        grid->addWidget(recorder(ui, row.backward), line, 2);
        conflictLabel(row.forward, 1);
        conflictLabel(row.backward, 2);
        configLine(row.forward, line + 2);
        configLine(row.backward, line + 3);
        line += 4;
    }
    grid->addWidget(new QLabel(QStringLiteral("Back, during a switch:")), line, 0, Qt::AlignRight);
    grid->addWidget(recorder(ui, kKeyUniversalBackward), line, 1);
    line += 2;
    grid->addWidget(
        note(QStringLiteral("Click a field and press the new shortcut. Backspace clears it, Escape keeps "
                            "the old one. The last one may be a single key: while a switch runs, it "
                            "moves the selection back.")),
        line, 0, 1, 3);
    ++line;
    ui.releasedBindings = note(QString());
    ui.releasedBindings->setObjectName(QStringLiteral("releasedBindings"));
    ui.releasedBindings->hide();
    grid->addWidget(ui.releasedBindings, line, 0, 1, 2);
    ui.restoreBindings = new QPushButton(QStringLiteral("Restore the desktop's shortcuts"));
    ui.restoreBindings->hide();
    grid->addWidget(ui.restoreBindings, line, 2, Qt::AlignTop);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    column(pane)->addWidget(shortcuts);
    column(pane)->addStretch(1);
}

void buildAppearance(PreferencesInterface& ui) {
    VLPrefView* pane = ui.appearance;
    auto* sizeGroup = new QGroupBox(QStringLiteral("Switch panel size"));
    auto* form = new QFormLayout(sizeGroup);
    ui.windowWidth = new DefaultsSlider(QStringLiteral("windowWidth"), kMinPanelWidth, kMaxPanelWidth, 1,
                                        DefaultsSlider::Display::Field);
    ui.windowHeight = new DefaultsSlider(QStringLiteral("windowHeight"), kMinPanelHeight, kMaxPanelHeight, 1,
                                         DefaultsSlider::Display::Field);
    form->addRow(QStringLiteral("Width:"), ui.windowWidth);
    form->addRow(QStringLiteral("Height:"), ui.windowHeight);
    form->addRow(note(QStringLiteral("The panel shows at its new size while you change it.")));
    column(pane)->addWidget(sizeGroup);

    QVBoxLayout* names = addGroup(pane, QStringLiteral("Names"));
    checkBox(ui, names, "appShowAppName",
             QStringLiteral("Show the name of each application when switching applications"));
    checkBox(ui, names, "windowShowWindowName", QStringLiteral("Show window titles when switching windows"));
    checkBox(ui, names, "windowShowAppName", QStringLiteral("Show the application name with each window"));

    QVBoxLayout* badges = addGroup(pane, QStringLiteral("Badges"));
    checkBox(ui, badges, "showAppBadges", QStringLiteral("Mark each window with its application's icon"));
    checkBox(ui, badges, "showSpaceBadges",
             QStringLiteral("Mark each window with the number of its workspace"));

    QVBoxLayout* fullScreen = addGroup(pane, QStringLiteral("Full screen"));
    checkBox(ui, fullScreen, "fullScreenWindows", QStringLiteral("Fill the screen when switching windows"));
    checkBox(ui, fullScreen, "fullScreenApps", QStringLiteral("Fill the screen when switching applications"));
    column(pane)->addStretch(1);
}

void buildAdvanced(PreferencesInterface& ui) {
    VLPrefView* pane = ui.advanced;
    auto* timing = new QGroupBox(QStringLiteral("Timing"));
    auto* form = new QFormLayout(timing);
    ui.displayDelay = new DefaultsSlider(QStringLiteral("displayDelay"), 0, kMaxDisplayDelay,
                                         kDisplayDelayStep, DefaultsSlider::Display::Label);
    ui.displayDelay->valueLabel()->setObjectName(QStringLiteral("displayDelayLabel"));
    auto* delayRow = new QHBoxLayout;
    delayRow->addWidget(ui.displayDelay, 1);
    delayRow->addWidget(new QLabel(QStringLiteral("seconds")));
    form->addRow(QStringLiteral("Show the panel after:"), delayRow);
    form->addRow(note(QStringLiteral("Release the keys sooner than this and Velora switches at once, without "
                                     "showing the panel.")));
    column(pane)->addWidget(timing);

    QVBoxLayout* windows = addGroup(pane, QStringLiteral("Windows"));
    checkBox(ui, windows, "ignoreMinimized", QStringLiteral("Leave out minimised windows"));
    checkBox(ui, windows, "ignoreHidden", QStringLiteral("Leave out the windows of hidden applications"));

    QVBoxLayout* apps = addGroup(pane, QStringLiteral("Applications"));
    checkBox(ui, apps, "ignoreNoWindowApps", QStringLiteral("Leave out applications without windows"));
    checkBox(ui, apps, "ignoreHiddenApps", QStringLiteral("Leave out hidden applications"));
    checkBox(ui, apps, "shouldReOpen",
             QStringLiteral("Ask an application to reopen its window when switching to it"));
    column(pane)->addStretch(1);
}

void buildFilters(PreferencesInterface& ui) {
    VLPrefView* pane = ui.filters;
    column(pane)->addWidget(note(QStringLiteral(
        "Choose how strictly each application's windows are filtered before they are offered for switching. "
        "Applications without an entry follow \"All applications\". Double-click an entry to change it.")));
    ui.ignoreTable = new IgnoreTable;
    ui.ignoreTable->setMinimumHeight(260);
    column(pane)->addWidget(ui.ignoreTable, 1);
}

void buildTips(PreferencesInterface& ui) {
    column(ui.tips)->addWidget(richText(QStringLiteral(
        "<h3>Switching</h3>"
        "<p>Hold the modifier and press the key; each further press moves on.</p>"
        "<table cellspacing='0' cellpadding='3'>"
        "<tr><td><b>Super+Tab</b></td><td>the running applications, front to back</td></tr>"
        "<tr><td><b>Alt+Tab</b></td><td>all windows, most recently used first</td></tr>"
        "<tr><td><b>Alt+`</b></td><td>the windows of the active application</td></tr>"
        "<tr><td><b>Shift</b></td><td>added to any of them, goes backward</td></tr>"
        "</table>"
        "<p>Release quickly to go straight to the next one; keep holding and the switch panel appears. "
        "The shortcuts can be changed in General.</p>"
        "<h3>While the panel is shown</h3>"
        "<p>Keep the modifier held and press a single key to act on the selected item:</p>"
        "<table cellspacing='0' cellpadding='3'>"
        "<tr><td><b>Q</b> quit</td><td><b>F</b> force quit</td><td><b>H</b> hide</td></tr>"
        "<tr><td><b>M</b> minimise</td><td><b>W</b> close the window</td><td><b>R</b> reveal in the file "
        "manager</td></tr>"
        "<tr><td><b>O</b> hide the others</td><td><b>,</b> (comma) these preferences</td><td><b>Esc</b> "
        "cancel the switch</td></tr>"
        "</table>"
        "<h3>Opening files</h3>"
        "<p>Drag files onto an application's icon in the panel to open them with that application.</p>")));
    column(ui.tips)->addStretch(1);
}

void buildUpdates(PreferencesInterface& ui) {
    VLPrefView* pane = ui.updates;
    auto* header = new QHBoxLayout;
    auto* icon = new QLabel;
    icon->setPixmap(namedImage(QStringLiteral("Updates")).pixmap(48, 48));
    header->addWidget(icon);
    auto* version = new QLabel(
        QStringLiteral("<b style='font-size:15pt'>Velora %1</b><br>This is the version you are running.")
            .arg(QStringLiteral(VELORA_VERSION)));
    version->setObjectName(QStringLiteral("versionLabel"));
    version->setTextFormat(Qt::RichText);
    header->addWidget(version, 1);
    column(pane)->addLayout(header);
    column(pane)->addWidget(
        richText(QStringLiteral(
                     "<h3>News</h3>"
                     "<p>Once each time it starts, Velora asks %1 whether there is news, such as a new "
                     "version, and shows each announcement once.</p>"
                     "<h3>Updating</h3>"
                     "<p>Velora is updated with the rest of your system, through your distribution's package "
                     "manager or its software centre. From a terminal, for example:</p>"
                     "<p><code>sudo apt update &amp;&amp; sudo apt install --only-upgrade velora</code></p>"
                     "<p>Restart Velora afterwards (quit it from its menu icon and start it again); your "
                     "settings are kept.</p>")
                     .arg(QStringLiteral(VELORA_ANNOUNCE_SERVER).toHtmlEscaped())));
    column(pane)->addStretch(1);
}

} // namespace

void fitPane(QWidget* pane) {
    pane->setFixedWidth(kPaneWidth);
    // Sizes as they will be drawn: a wrapped line's new text announces its new size through a
    // posted layout request.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QLayout* layout = pane->layout();
    layout->activate();
    const int height = layout->hasHeightForWidth() ? layout->totalHeightForWidth(kPaneWidth)
                                                   : layout->totalSizeHint().height();
    pane->setFixedHeight(std::max(height, layout->totalMinimumSize().height()));
}

std::unique_ptr<PreferencesInterface> loadPreferencesInterface(QWidget* parent) {
    auto ui = std::make_unique<PreferencesInterface>();
    ui->general = makePane(parent, QStringLiteral("General"));
    ui->appearance = makePane(parent, QStringLiteral("Appearance"));
    ui->advanced = makePane(parent, QStringLiteral("Advanced"));
    ui->filters = makePane(parent, QStringLiteral("Filters"));
    ui->tips = makePane(parent, QStringLiteral("Tips"));
    ui->updates = makePane(parent, QStringLiteral("Updates"));
    buildGeneral(*ui);
    buildAppearance(*ui);
    buildAdvanced(*ui);
    buildFilters(*ui);
    buildTips(*ui);
    buildUpdates(*ui);
    for (QWidget* pane : {static_cast<QWidget*>(ui->general), static_cast<QWidget*>(ui->appearance),
                          static_cast<QWidget*>(ui->advanced), static_cast<QWidget*>(ui->filters),
                          static_cast<QWidget*>(ui->tips), static_cast<QWidget*>(ui->updates)})
        fitPane(pane);
    return ui;
}

} // namespace velora
