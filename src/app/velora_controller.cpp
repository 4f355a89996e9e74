#include "app/velora_controller.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <algorithm>
#include <cmath>

#include "app/alert_builder.h"
#include "engine/vl_handler.h"
#include "hotkeys/hot_key_matching.h"
#include "hotkeys/hot_key_triggers.h"
#include "hotkeys/sg_hot_key_center.h"
#include "platform/platform.h"
#include "platform/trace.h"
#include "prefs/prefs_controller.h"
#include "settings/user_defaults.h"
#include "velora_config.h"

namespace velora {

namespace {

using EngineAction = void (VLHandler::*)();

// In the order of the controller's fields.
constexpr std::array<const char*, 7> kIdentifiers = {
    "KeyCycleAppForward",     "KeyCycleAppBackward",      "KeyCycleWindowForward",
    "KeyCycleWindowBackward", "KeyCycleAppWindowForward", "KeyCycleAppWindowBackward",
    "KeyUniversalBackward",
};
constexpr std::array<EngineAction, 7> kActions = {
    &VLHandler::KeyCycleAppForward,       &VLHandler::KeyCycleAppBackward,
    &VLHandler::KeyCycleWindowForward,    &VLHandler::KeyCycleWindowBackward,
    &VLHandler::KeyCycleAppWindowForward, &VLHandler::KeyCycleAppWindowBackward,
    &VLHandler::KeyUniversalBackward,
};
constexpr std::size_t kUniversalBackward = 6;

struct DefaultCombo {
    const char* identifier;
    int64_t keyCode;
    int64_t modifiers;
};
// Written at the first run, in this order.
constexpr std::array<DefaultCombo, 6> kDefaultCombos = {{
    {"KeyCycleAppForward", 48, 2048},
    {"KeyCycleWindowForward", 48, 256},
    {"KeyCycleAppWindowForward", 50, 256},
    {"KeyCycleAppBackward", 48, 2560},
    {"KeyCycleWindowBackward", 48, 768},
    {"KeyCycleAppWindowBackward", 50, 768},
}};

const char* const kWelcomeText =
    "Hello there! As soon as you choose your keyboard shortcuts, you can start switching windows or "
    "applications. There is a new icon your menu bar, use it to control Velora.\n\nNote to users of Spaces: "
    "Velora has to see a window at least once before being able to switch to it. \n\nThis is usually not a "
    "problem since you would have Velora already running when the windows are created. However, this is the "
    "first time you run Velora and you might have some windows already open.";

const char* const kHideIconText =
    "You won't be able to easily access the Preferences and About window with the menu icon hidden. If you "
    "want to reach either of them, run Velora from within Finder.";

PlistValue comboDictionary(int64_t keyCode, int64_t modifiers) {
    PlistValue::Dictionary d;
    d["keyCode"] = PlistValue(keyCode);
    d["modifiers"] = PlistValue(modifiers);
    return PlistValue(std::move(d));
}

} // namespace

const std::array<const char*, 7>& VeloraController::hotKeyIdentifiers() {
    return kIdentifiers;
}

VeloraController::VeloraController() {
    setBindingEnvironmentForTesting(systemBindingEnvironment());
}

void VeloraController::setBindingEnvironmentForTesting(BindingEnvironment env) {
    conflicts_ = std::make_unique<KeyConflicts>(std::move(env));
    connect(conflicts_.get(), &KeyConflicts::notesChanged, this, [] {
        if (PrefsController::hasSharedPrefsWindowController())
            PrefsController::sharedPrefsWindowController().reloadRecorders();
    });
    connect(conflicts_.get(), &KeyConflicts::preferencesRequested, this, [this] { showPreferences(); });
}

VeloraController::~VeloraController() {
    SGHotKeyCenter::sharedCenter().setRefusalListener(nullptr);
    invalidateCloseTimer();
    if (PrefsController::hasSharedPrefsWindowController() &&
        PrefsController::sharedPrefsWindowController().applicationDelegate() == this)
        PrefsController::sharedPrefsWindowController().setApplicationDelegate(nullptr);
}

QString VeloraController::versionText() {
    return QStringLiteral("Version %1").arg(QStringLiteral(VELORA_VERSION));
}

bool VeloraController::start() {
    if (!checkAXAPI()) return false;
    reportSettingsWriteFailures();
    PrefsController::sharedPrefsWindowController().setApplicationDelegate(this);
    firstRunCheck();
    VLHandler& engine = VLHandler::sharedHandler();
    engine.setApplicationDelegate(this);
    SGHotKeyCenter::sharedCenter().setRefusalListener([this] { refreshKeyConflicts(); });
    updateState(this);
    return true;
}

void VeloraController::reportSettingsWriteFailures() {
    // The store calls this once per run of failures, from whichever thread saved; the alert
    // is a window of its own so that no thread waits for the user.
    UserDefaults::standard().setWriteFailureHandler([](const std::string& message) {
        mainThread().performAsync([message] {
            presentAlertSheet(
                createAlert(QStringLiteral("Velora could not save the settings"),
                            QString::fromStdString(message) +
                                QStringLiteral("\n\nThe settings file stays as it was. Your changes "
                                               "are kept while Velora runs and saved once writing works "
                                               "again."),
                            {QStringLiteral("Okay")}, false),
                nullptr);
        });
    });
}

void VeloraController::firstRunCheck() {
    UserDefaults& defaults = UserDefaults::standard();
    if (!defaults.boolForKey("firstRun2")) {
        defaults.setBool("firstRun2", true);
        defaults.setInteger("startAtLogin", 1);
        defaults.setInteger("showAppBadges", 1);
        for (const DefaultCombo& c : kDefaultCombos)
            defaults.setObject(c.identifier, comboDictionary(c.keyCode, c.modifiers));
        showPreferences();
        defaults.synchronize();
        presentAlertSheet(createAlert(QStringLiteral("Welcome to Velora!"), QString::fromUtf8(kWelcomeText),
                                      {QStringLiteral("Okay")}, false),
                          PrefsController::sharedPrefsWindowController().window());
    }
    if (defaults.floatForKey("windowWidth") == 0.0f) {
        defaults.setFloat("windowWidth", kDefaultWidth);
        defaults.synchronize();
    }
    if (defaults.floatForKey("windowHeight") == 0.0f) {
        defaults.setFloat("windowHeight", kDefaultHeight);
        defaults.synchronize();
    }
    if (!defaults.boolForKey("displayDelayDefault")) {
        defaults.setBool("displayDelayDefault", true);
        defaults.setFloat("displayDelay", 0.2f);
    }
    if (!defaults.boolForKey("showNamesDefault")) {
        defaults.setBool("showNamesDefault", true);
        defaults.setInteger("appShowAppName", 1);
        defaults.setInteger("windowShowAppName", 1);
        defaults.setInteger("windowShowWindowName", 1);
    }
    aboutWindow(); // makes the About window, whose version label shows versionText()
}

void VeloraController::updateState(QObject* sender) {
    retrieveDefaults(sender);
    enforceRunAtLogin();
    displayStatusIcon();
    registerHotKeys();
    if (PrefsController::hasSharedPrefsWindowController())
        if (QLabel* label = PrefsController::sharedPrefsWindowController().displayDelayLabel())
            label->setText(
                QString::asprintf("%.01f", double(UserDefaults::standard().floatForKey("displayDelay"))));
    auto* button = qobject_cast<QAbstractButton*>(sender);
    if (button && button->text() == QStringLiteral("Hide the menu icon") && hideMenuIcon_ != 0)
        showHideIconWarning();
}

void VeloraController::showHideIconWarning() {
    presentAlertSheet(createAlert(QStringLiteral("Hide the menu icon"), QString::fromUtf8(kHideIconText),
                                  {QStringLiteral("Okay")}, false),
                      PrefsController::sharedPrefsWindowController().window());
}

namespace {

// Hand-edited or damaged settings may hold any number. A panel side that is not a positive
// finite number takes the default, and none is larger than an X window can be, so that a
// stray 1e9 never asks for a window of gigabytes.
float panelLength(float stored, float fallback) {
    constexpr float kLargest = 16384.0f;
    if (!std::isfinite(stored) || stored <= 0.0f) return fallback;
    return std::min(stored, kLargest);
}

// A display delay that is not a number takes the default; others are kept between no delay
// and a minute.
float displayDelayFrom(float stored) {
    if (std::isnan(stored)) return 0.2f;
    return std::clamp(stored, 0.0f, 60.0f);
}

} // namespace

void VeloraController::retrieveDefaults(QObject*) {
    UserDefaults& d = UserDefaults::standard();
    // Every one of these is a 0/1 choice; any other number (2^32 included) reads as on.
    auto i32 = [&](const char* key) { return int32_t(d.integerForKey(key) != 0 ? 1 : 0); };
    hideMenuIcon_ = i32("hideIcon");
    monoIcon_ = i32("monoIcon");
    VLHandler& e = VLHandler::sharedHandler();
    e.setShowSpaceBadges(i32("showSpaceBadges"));
    e.setIgnoreMinimized(i32("ignoreMinimized"));
    e.setIgnoreHidden(i32("ignoreHidden"));
    e.setFullScreenWindows(i32("fullScreenWindows"));
    e.setFullScreenApps(i32("fullScreenApps"));
    e.setIgnoreNoWindowApps(i32("ignoreNoWindowApps"));
    e.setIgnoreHiddenApps(i32("ignoreHiddenApps"));
    e.setWidth(panelLength(d.floatForKey("windowWidth"), kDefaultWidth));
    e.setHeight(panelLength(d.floatForKey("windowHeight"), kDefaultHeight));
    e.setShouldReOpen(i32("shouldReOpen"));
    e.setShowAppBadges(i32("showAppBadges"));
    e.setDisplayDelay(displayDelayFrom(d.floatForKey("displayDelay")));
    e.setAppShowAppName(i32("appShowAppName"));
    e.setWindowShowAppName(i32("windowShowAppName"));
    e.setWindowShowWindowName(i32("windowShowWindowName"));
    d.synchronize();
}

std::map<std::string, SGHotKeyRef> VeloraController::hotKeysDictionary() {
    std::map<std::string, SGHotKeyRef> out;
    for (std::size_t i = 0; i < hotKeys_.size(); ++i) {
        if (!hotKeys_[i]) hotKeys_[i] = std::make_shared<SGHotKey>();
        out[kIdentifiers[i]] = hotKeys_[i];
    }
    return out;
}

std::map<std::string, SGKeyCombo> VeloraController::keysDictionary() {
    std::map<std::string, SGKeyCombo> out;
    for (const auto& [identifier, key] : hotKeysDictionary())
        out[identifier] = key->keyCombo();
    return out;
}

void VeloraController::registerHotKeys() {
    hotKeysDictionary();
    std::vector<SGHotKeyRef> old, fresh;
    for (std::size_t i = 0; i < hotKeys_.size(); ++i) {
        old.push_back(hotKeys_[i]);
        SGKeyCombo combo(UserDefaults::standard().objectForKey(kIdentifiers[i]));
        const EngineAction action = kActions[i];
        hotKeys_[i] = std::make_shared<SGHotKey>(kIdentifiers[i], combo,
                                                 [action] { (VLHandler::sharedHandler().*action)(); });
        if (i != kUniversalBackward) fresh.push_back(hotKeys_[i]);
    }
    // One change for all: the desktop takes the keys in one round, and keeps those that stay.
    SGHotKeyCenter::sharedCenter().replaceHotKeys(old, fresh);
    refreshKeyConflicts();
    // An open window shows what is registered now (on the first run it opened before).
    if (PrefsController::hasSharedPrefsWindowController())
        PrefsController::sharedPrefsWindowController().reloadRecorders();
    trace::mark("hotkeys");
}

void VeloraController::refreshKeyConflicts() {
    std::map<std::string, SGHotKeyRef> registered;
    for (std::size_t i = 0; i < hotKeys_.size(); ++i)
        if (i != kUniversalBackward && hotKeys_[i]) registered[kIdentifiers[i]] = hotKeys_[i];
    conflicts_->update(registered);
}

std::map<std::string, QString> VeloraController::keyConflictNotes() {
    return conflicts_->notes();
}

QString VeloraController::shortcutHeldElsewhere(int64_t keyCode, uint64_t flags, bool anyModifiers) {
    const InterceptedKey key{keyCode, flags & kEventFlagsTrackedMask, anyModifiers};
    return input().isKeyHeldElsewhere(key) ? conflicts_->heldElsewhereReason({key.modifiers, keyCode})
                                           : QString();
}

std::map<std::string, HotKeyConfigLine> VeloraController::hotKeyConfigLines() {
    std::map<std::string, HotKeyConfigLine> out;
    for (std::size_t i = 0; i < hotKeys_.size(); ++i) {
        if (i == kUniversalBackward || !hotKeys_[i] || !hotKeys_[i]->keyCombo().isValidHotKeyCombo())
            continue;
        const std::optional<std::string_view> trigger = triggerNameOfHotKey(kIdentifiers[i]);
        if (!trigger) continue;
        if (auto line = input().hotKeyConfigLine(interceptedKeyFor(*hotKeys_[i]), std::string(*trigger)))
            out[kIdentifiers[i]] = std::move(*line);
    }
    return out;
}

QStringList VeloraController::releasedBindings() {
    QStringList out;
    for (const PlistValue& record : conflicts_->releasedBindings())
        out << recordDescription(record);
    return out;
}

bool VeloraController::restoreReleasedBindings(QString* error) {
    return conflicts_->restoreReleasedBindings(error);
}

void VeloraController::updateWindowSize(QObject* sender) {
    invalidateCloseTimer();
    retrieveDefaults(sender);
    VLHandler::sharedHandler().coverFlow().showForResize();
    QPointer<VeloraController> self(this);
    closeWindowTimer_ = mainThread().scheduleTimer(kPreviewSeconds, [self] {
        if (self) self->closeWindow();
    });
}

void VeloraController::closeWindow() {
    closeWindowTimer_.reset();
    VLHandler::sharedHandler().coverFlow().hideForResize();
}

void VeloraController::invalidateCloseTimer() {
    if (closeWindowTimer_ && closeWindowTimer_->isValid()) closeWindowTimer_->invalidate();
    closeWindowTimer_.reset();
}

void VeloraController::shortcutIsRecording(bool recording) {
    SGHotKeyCenter::sharedCenter().setIsRecording(recording);
}

void VeloraController::showPreferences() {
    PrefsController& prefs = PrefsController::sharedPrefsWindowController();
    prefs.showWindow();
    if (QMainWindow* w = prefs.window()) {
        w->raise();
        w->activateWindow();
    }
}

void VeloraController::terminate() {
    if (terminate_)
        terminate_();
    else
        QCoreApplication::quit();
}

bool VeloraController::applicationShouldHandleReopen() {
    if (hideMenuIcon_ != 0 || !QSystemTrayIcon::isSystemTrayAvailable()) {
        showPreferences();
        return true;
    }
    return false;
}

std::string VeloraController::pressHotKeyNamed(const std::string& name) {
    const auto identifier = hotKeyOfTriggerName(name);
    if (!identifier) return "unknown hot key '" + name + "'";
    SGHotKeyCenter& center = SGHotKeyCenter::sharedCenter();
    // The recorder is waiting for keys; a switch now would take the keyboard from it.
    if (center.isRecording()) return "a shortcut is being recorded; the trigger is ignored";
    const SGHotKeyRef hotKey = center.hotKeyWithIdentifier(std::string(*identifier));
    if (!hotKey) return "the hot key '" + name + "' has no shortcut in the preferences";
    if (!input().pressKeyFromBinding(interceptedKeyFor(*hotKey)))
        return "this desktop gives velora its keys directly: the trigger is not needed here";
    trace::mark("trigger");
    return {};
}

void VeloraController::applicationWillTerminate() {
    if (statusItem_) statusItem_->hide();
    statusItem_.reset();
}

} // namespace velora
