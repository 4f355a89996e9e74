#pragma once
// The "Preferences" interface: the six panes of the preferences window with their controls,
// made in code. The controls are bound to their defaults keys but connected to no one;
// PrefsController connects them.

#include <QString>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QWidget;

namespace velora {

class DefaultsCheckBox;
class DefaultsSlider;
class IgnoreTable;
class SRRecorderControl;
class VLPrefView;

struct PreferencesInterface {
    VLPrefView* general = nullptr;
    VLPrefView* appearance = nullptr;
    VLPrefView* advanced = nullptr;
    VLPrefView* filters = nullptr;
    VLPrefView* tips = nullptr;
    VLPrefView* updates = nullptr;

    // By hot key identifier.
    std::map<std::string, SRRecorderControl*> recorders;
    // Under each recorder: which program holds its shortcut (hidden when none does).
    std::map<std::string, QLabel*> conflictLabels;
    // On a desktop whose own configuration binds the hot keys: where the lines go, and under
    // each row of recorders the line of each, in a row of its own with a Copy button (the
    // label's parent, hidden when there is no line).
    QLabel* configLinesNote = nullptr;
    std::map<std::string, QLabel*> configLines;
    // The changes made to the desktop's settings to free shortcuts, and their undo.
    QLabel* releasedBindings = nullptr;
    QPushButton* restoreBindings = nullptr;
    std::vector<DefaultsCheckBox*> checkBoxes;
    DefaultsSlider* displayDelay = nullptr;
    DefaultsSlider* windowWidth = nullptr;
    DefaultsSlider* windowHeight = nullptr;
    IgnoreTable* ignoreTable = nullptr;
};

// Every pane is a child of the parent (the controller's shelf for views not shown).
std::unique_ptr<PreferencesInterface> loadPreferencesInterface(QWidget* parent);

// Gives the pane the common width and the height its contents need at that width (again,
// after some of its contents were shown or hidden).
void fitPane(QWidget* pane);

// The width of every pane.
inline constexpr int kPaneWidth = 560;

} // namespace velora
