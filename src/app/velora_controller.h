#pragma once
// VeloraController: the application controller, first object of the system to run.
//
// start() brings the system up in this order: the accessibility permission check (which may
// end the program), the first-run settings, the switching engine, and the first application
// of the settings (updateState). Afterwards it is the one place where settings are read from
// the user defaults and pushed into the engine, where the seven hot keys are made from the
// stored combinations and handed to the hot key center, and where the preferences window
// asks for a live preview of the panel size.
//
// Also the status item (QSystemTrayIcon with "Preferences", "About", "Quit"), the login item
// (an XDG autostart entry through the login-items port) and the re-open rule.
//
// Decisions:
// - The login entry is inserted only when no entry resolves to this program already, so
//   entries never pile up; removal takes only entries whose resolved path is exactly this
//   program's path (a mere prefix, such as velora-helper next to velora, is someone else's).
// - Re-opening (a second `velora`) shows the preferences when the icon is hidden, and also
//   when the desktop has no system tray to show it in: otherwise the settings would be out
//   of reach.
// - The monochrome icon takes the colour of the palette's window text, so it reads on light
//   and dark panels alike.
// Main thread only.
#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/key_conflicts.h"
#include "engine/vl_application_delegate.h"
#include "hotkeys/sg_hot_key.h"
#include "platform/main_thread.h"
#include "prefs/prefs_application_delegate.h"

class QLabel;
class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace velora {

class VeloraController final : public QObject, public VLApplicationDelegate, public PrefsApplicationDelegate {
    Q_OBJECT

  public:
    // The seven hot key identifiers, each also the defaults key of its combination and the
    // name of the engine action it calls.
    static const std::array<const char*, 7>& hotKeyIdentifiers();
    static constexpr float kDefaultWidth = 637.0f;
    static constexpr float kDefaultHeight = 437.0f;
    static constexpr double kPreviewSeconds = 0.5;

    VeloraController();
    ~VeloraController() override;

    // The start-up sequence. False when the accessibility check ended the program (the
    // permission is missing or the user chose "Quit"); nothing else has started then.
    bool start();

    void firstRunCheck();
    // Settings that cannot be saved (a full disk, a read-only folder) are told in one alert
    // per run of failures; the old file stays whole.
    void reportSettingsWriteFailures();
    void retrieveDefaults(QObject* sender);
    void registerHotKeys();
    // Identifier -> hot key, filling empty fields with hot keys of no identifier first.
    std::map<std::string, SGHotKeyRef> hotKeysDictionary();
    void closeWindow();
    void invalidateCloseTimer();

    // --- PrefsApplicationDelegate
    std::map<std::string, SGKeyCombo> keysDictionary() override;
    void updateState(QObject* sender) override;
    void updateWindowSize(QObject* sender) override;
    void shortcutIsRecording(bool recording) override;
    std::map<std::string, QString> keyConflictNotes() override;
    QString shortcutHeldElsewhere(int64_t keyCode, uint64_t flags, bool anyModifiers) override;
    // The desktop's lines for the registered cycle keys, each running `velora --trigger NAME`.
    std::map<std::string, HotKeyConfigLine> hotKeyConfigLines() override;
    QStringList releasedBindings() override;
    bool restoreReleasedBindings(QString* error) override;

    // Hot keys another program holds (the alert, the notes, the free button).
    KeyConflicts& keyConflicts() { return *conflicts_; }
    // Looks again at which registered hot keys the desktop refused.
    void refreshKeyConflicts();

    // --- VLApplicationDelegate
    SGHotKeyRef keyUniversalBackward() override { return hotKey(6); }
    void showPreferences() override;

    SGHotKeyRef keyCycleAppForward() { return hotKey(0); }
    SGHotKeyRef keyCycleAppBackward() { return hotKey(1); }
    SGHotKeyRef keyCycleWindowForward() { return hotKey(2); }
    SGHotKeyRef keyCycleWindowBackward() { return hotKey(3); }
    SGHotKeyRef keyCycleAppWindowForward() { return hotKey(4); }
    SGHotKeyRef keyCycleAppWindowBackward() { return hotKey(5); }

    // --- status item, login item, permission
    void displayStatusIcon();
    QMenu* createMenu();
    void showAbout();
    void enforceRunAtLogin();
    bool checkAXAPI();
    // A second start of the program: true when it was handled here.
    bool applicationShouldHandleReopen();
    void applicationWillTerminate();

    int32_t hideMenuIcon() const { return hideMenuIcon_; }
    int32_t monoIcon() const { return monoIcon_; }
    QSystemTrayIcon* statusItem() const { return statusItem_.get(); }
    QWidget* aboutWindow();
    QLabel* versionLabel() const { return versionLabel_; }
    bool previewTimerPending() const { return closeWindowTimer_ && closeWindowTimer_->isValid(); }

    // The path of this program, as login entries resolve it.
    std::string programPath() const;
    void setProgramPathForTesting(std::string path) { programPathOverride_ = std::move(path); }
    // What "Quit" and the permission check's end do (default: QCoreApplication::quit()).
    void setTerminateHandler(std::function<void()> handler) { terminate_ = std::move(handler); }
    // Where the free button makes its changes (default: this user's real desktop).
    void setBindingEnvironmentForTesting(BindingEnvironment env);

    // "Version %@" with the program's version.
    static QString versionText();

  private:
    SGHotKeyRef hotKey(std::size_t index) const { return hotKeys_[index]; }
    void terminate();
    void showHideIconWarning();

    int32_t hideMenuIcon_ = 0;
    int32_t monoIcon_ = 0;
    std::array<SGHotKeyRef, 7> hotKeys_;
    std::unique_ptr<QSystemTrayIcon> statusItem_;
    std::unique_ptr<QMenu> statusMenu_;
    std::unique_ptr<QWidget> aboutWindow_;
    QLabel* versionLabel_ = nullptr; // in the About window
    TimerRef closeWindowTimer_;
    std::string programPathOverride_;
    std::function<void()> terminate_;
    std::unique_ptr<KeyConflicts> conflicts_;
};

} // namespace velora
