#pragma once
// What the preferences window needs of the application controller. The controller implements
// it and hands itself to PrefsController::setApplicationDelegate().

#include <map>
#include <string>

#include "hotkeys/sg_key_combo.h"

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
};

} // namespace velora
