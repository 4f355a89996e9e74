#pragma once
// The system's preferences window: six panes ("General", "Appearance", "Advanced", "Filters",
// "Tips", "Updates", in that order, each with the resource image of its name) and the seven
// shortcut recorders of the hot keys.
//
// - Every setting control stores its key in the standard user defaults, synchronizes, then
//   calls the application delegate's updateState() with itself as sender; the panel width and
//   height call updateWindowSize() instead (a live preview of the panel).
// - A recorded shortcut is refused when another of the seven recorders shows it already;
//   otherwise it is stored as {"keyCode", "modifiers"} under its identifier, synchronized, and
//   updateState() is called with this controller as sender. A cleared recorder stores the
//   clear combination (-1, -1).
// - Every showing re-reads the controls from the user defaults and the recorders from the
//   delegate's keysDictionary(), so the window never shows stale values (on the first run the
//   window opens before the rest of the first-run settings are written).
// - Hiding the window ends any recording, so the hot keys never stay stepped aside.
//
// The panes are made in code (prefs_interface.h), the interface named "Preferences".

#include <map>
#include <string>

#include "prefs/db_prefs_window_controller.h"
#include "prefs/prefs_application_delegate.h"
#include "prefs/shortcut_recorder.h"

class QLabel;

namespace velora {

class IgnoreTable;
struct PreferencesInterface;

// The seven hot key identifiers, which are also their defaults keys.
inline constexpr const char* kKeyCycleAppForward = "KeyCycleAppForward";
inline constexpr const char* kKeyCycleAppBackward = "KeyCycleAppBackward";
inline constexpr const char* kKeyCycleWindowForward = "KeyCycleWindowForward";
inline constexpr const char* kKeyCycleWindowBackward = "KeyCycleWindowBackward";
inline constexpr const char* kKeyCycleAppWindowForward = "KeyCycleAppWindowForward";
inline constexpr const char* kKeyCycleAppWindowBackward = "KeyCycleAppWindowBackward";
inline constexpr const char* kKeyUniversalBackward = "KeyUniversalBackward";

class PrefsController : public DBPrefsWindowController, public SRRecorderDelegate {
    Q_OBJECT

  public:
    PrefsController();
    ~PrefsController() override;

    // The shared preferences window controller, created as a PrefsController on first use.
    static PrefsController& sharedPrefsWindowController() {
        return DBPrefsWindowController::sharedPrefsWindowController<PrefsController>();
    }

    // The application controller; not owned. Without one, changes are stored but announced
    // to no one.
    void setApplicationDelegate(PrefsApplicationDelegate* delegate);
    PrefsApplicationDelegate* applicationDelegate() const { return applicationDelegate_; }

    void setupToolbar() override;
    void showWindow() override;

    // Identifier -> recorder, for the seven identifiers (empty before the window is loaded).
    std::map<std::string, SRRecorderControl*> keyControlsDictionary() const;

    // Shows the stored settings in the controls and the delegate's combinations in the
    // recorders, announcing nothing.
    void reloadControls();
    void reloadRecorders();

    // SRRecorderDelegate
    bool shortcutRecorderIsKeyCodeAndFlagsTaken(SRRecorderControl* recorder, int64_t keyCode, uint64_t flags,
                                                QString* reason) override;
    void shortcutRecorderKeyComboDidChange(SRRecorderControl* recorder, KeyComboPair newKeyCombo) override;
    void shortcutIsRecording(bool recording) override;

    // The interface's views and controls; null before the window is loaded (window() loads it).
    QWidget* preferencesGeneral() const;
    QWidget* preferencesAppearance() const;
    QWidget* preferencesAdvanced() const;
    QWidget* preferencesFilters() const;
    QWidget* preferencesTips() const;
    QWidget* preferencesUpdates() const;
    SRRecorderControl* keyCycleAppForward() const { return recorder(kKeyCycleAppForward); }
    SRRecorderControl* keyCycleAppBackward() const { return recorder(kKeyCycleAppBackward); }
    SRRecorderControl* keyCycleWindowForward() const { return recorder(kKeyCycleWindowForward); }
    SRRecorderControl* keyCycleWindowBackward() const { return recorder(kKeyCycleWindowBackward); }
    SRRecorderControl* keyCycleAppWindowForward() const { return recorder(kKeyCycleAppWindowForward); }
    SRRecorderControl* keyCycleAppWindowBackward() const { return recorder(kKeyCycleAppWindowBackward); }
    SRRecorderControl* keyUniversalBackward() const { return recorder(kKeyUniversalBackward); }
    SRRecorderControl* recorder(const std::string& identifier) const;
    IgnoreTable* ignoreTable() const;
    // The label that shows the display delay ("%.01f").
    QLabel* displayDelayLabel() const;
    // The control bound to a defaults key (a DefaultsCheckBox or DefaultsSlider), or null.
    QWidget* settingControl(const QString& key) const;

  protected:
    void loadInterface() override;
    void awakeFromNib() override;

  private:
    void connectControls();

    PrefsApplicationDelegate* applicationDelegate_ = nullptr;
    std::unique_ptr<PreferencesInterface> interface_;
};

} // namespace velora
