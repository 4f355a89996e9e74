#pragma once
// What the preferences window needs of the application controller. The controller implements
// it and hands itself to PrefsController::setApplicationDelegate().

#include <QString>
#include <QStringList>
#include <map>
#include <string>

#include "hotkeys/sg_key_combo.h"
#include "platform/input.h"

class QObject;

namespace velora {

class PrefsApplicationDelegate {
  public:
    virtual ~PrefsApplicationDelegate();

    // Hot key identifier -> its current combination, for the seven identifiers.
    virtual std::map<std::string, SGKeyCombo> keysDictionary() = 0;
    // A setting or a shortcut has been stored: re-read the settings, re-register the hot keys.
    // The sender is the control that changed (the "Hide the menu icon" check box is a
    // QAbstractButton with that text), or the preferences controller after a shortcut change.
    virtual void updateState(QObject* sender) = 0;
    // The panel width or height has been stored: preview the panel at its new size.
    virtual void updateWindowSize(QObject* sender) = 0;
    // A shortcut recorder starts (true) or stops (false) capturing keys; meanwhile the hot
    // keys must let every key through.
    virtual void shortcutIsRecording(bool recording) = 0;

    // Hot keys another program holds: identifier -> the note shown beside its recorder.
    virtual std::map<std::string, QString> keyConflictNotes() { return {}; }
    // Why the combination (event flags; any modifiers for the universal backward key) cannot
    // be taken because another program holds it; empty when it can be.
    virtual QString shortcutHeldElsewhere(int64_t /*keyCode*/, uint64_t /*flags*/, bool /*anyModifiers*/) {
        return {};
    }
    // Where the desktop takes no key bindings from the program (a Wayland compositor other
    // than sway): identifier -> the line of its configuration that binds the hot key's
    // current shortcut. Empty where the program binds its keys itself.
    virtual std::map<std::string, HotKeyConfigLine> hotKeyConfigLines() { return {}; }
    // What Velora changed in the desktop's settings to free shortcuts, one line each.
    virtual QStringList releasedBindings() { return {}; }
    // Puts those changes back; false with the reason when some could not be.
    virtual bool restoreReleasedBindings(QString* /*error*/) { return true; }
};

} // namespace velora
