#include "prefs/prefs_controller.h"

#include <QLabel>
#include <QPushButton>

#include "prefs/defaults_controls.h"
#include "prefs/ignore_table.h"
#include "prefs/prefs_interface.h"
#include "prefs/vl_pref_view.h"
#include "settings/user_defaults.h"

namespace velora {

PrefsController::PrefsController() = default;

PrefsController::~PrefsController() {
    // Recorders end their recording as they go and tell this controller; it must not pass
    // that on to an application that may be gone already.
    applicationDelegate_ = nullptr;
    if (interface_)
        for (auto& [identifier, control] : interface_->recorders)
            control->setDelegate(nullptr);
}

void PrefsController::setApplicationDelegate(PrefsApplicationDelegate* delegate) {
    applicationDelegate_ = delegate;
    if (interface_) reloadRecorders();
}

void PrefsController::loadInterface() {
    interface_ = loadPreferencesInterface(viewShelf());
    connectControls();
}

void PrefsController::connectControls() {
    for (DefaultsCheckBox* box : interface_->checkBoxes)
        connect(box, &DefaultsCheckBox::valueWritten, this, [this](QObject* control) {
            if (applicationDelegate_) applicationDelegate_->updateState(control);
        });
    connect(interface_->displayDelay, &DefaultsSlider::valueWritten, this, [this](QObject* control) {
        if (applicationDelegate_) applicationDelegate_->updateState(control);
    });
    for (DefaultsSlider* size : {interface_->windowWidth, interface_->windowHeight})
        connect(size, &DefaultsSlider::valueWritten, this, [this](QObject* control) {
            if (applicationDelegate_) applicationDelegate_->updateWindowSize(control);
        });
    for (auto& [identifier, control] : interface_->recorders)
        control->setDelegate(this);
    connect(interface_->restoreBindings, &QPushButton::clicked, this, [this] {
        if (!applicationDelegate_) return;
        QString error;
        const bool restored = applicationDelegate_->restoreReleasedBindings(&error);
        reloadRecorders();
        if (!restored || !error.isEmpty()) {
            interface_->releasedBindings->setText(QStringLiteral("Not everything could be restored: ") +
                                                  error);
            interface_->releasedBindings->show();
        }
    });
}

void PrefsController::awakeFromNib() {
    keyUniversalBackward()->setAllowsKeyOnly(true, false);
    for (auto& [identifier, control] : keyControlsDictionary())
        control->setCanCaptureGlobalHotKeys(true);
    reloadControls();
}

void PrefsController::setupToolbar() {
    addView(preferencesGeneral(), QStringLiteral("General"));
    addView(preferencesAppearance(), QStringLiteral("Appearance"));
    addView(preferencesAdvanced(), QStringLiteral("Advanced"));
    addView(preferencesFilters(), QStringLiteral("Filters"));
    addView(preferencesTips(), QStringLiteral("Tips"));
    addView(preferencesUpdates(), QStringLiteral("Updates"));
    setCrossFade(true);
    setShiftSlowsAnimation(false);
}

void PrefsController::showWindow() {
    window();
    reloadControls();
    DBPrefsWindowController::showWindow();
    // Rows shown before the window first showed were not counted yet (a layout counts only
    // widgets that are shown): the pane is fitted again now that they are.
    if (!interface_) return;
    fitPane(interface_->general);
    if (currentView() == interface_->general) displayViewForIdentifier(QStringLiteral("General"), false);
}

void PrefsController::reloadControls() {
    if (!interface_) return;
    for (DefaultsCheckBox* box : interface_->checkBoxes)
        box->reload();
    for (DefaultsSlider* slider :
         {interface_->displayDelay, interface_->windowWidth, interface_->windowHeight})
        slider->reload();
    interface_->ignoreTable->reloadData();
    reloadRecorders();
}

void PrefsController::reloadRecorders() {
    if (!interface_ || !applicationDelegate_) return;
    const std::map<std::string, SRRecorderControl*> controls = keyControlsDictionary();
    const std::map<std::string, QString> notes = applicationDelegate_->keyConflictNotes();
    for (const auto& [identifier, combo] : applicationDelegate_->keysDictionary()) {
        auto control = controls.find(identifier);
        if (control == controls.end()) continue;
        control->second->setKeyCombo(KeyComboPair{SRRecorderControl::carbonToCocoaFlags(combo.modifiers()),
                                                  combo.keyCode() < 0 ? -1 : combo.keyCode()});
    }
    // The notes take rows of their own, shown only when there is something to say.
    bool resized = false;
    const auto show = [&resized](QWidget* widget, bool visible) {
        if (widget->isVisibleTo(widget->parentWidget()) == visible) return;
        widget->setVisible(visible);
        resized = true;
    };
    for (const auto& [identifier, control] : controls) {
        auto note = notes.find(identifier);
        const QString text = note == notes.end() ? QString() : note->second;
        control->setConflictNote(text);
        if (QLabel* label = interface_->conflictLabels[identifier]) {
            label->setText(text);
            show(label, !text.isEmpty());
        }
    }
    // Where the desktop's configuration binds the hot keys: each line under its recorder.
    const std::map<std::string, HotKeyConfigLine> lines = applicationDelegate_->hotKeyConfigLines();
    for (const auto& [identifier, label] : interface_->configLines) {
        auto line = lines.find(identifier);
        const QString text = line == lines.end() ? QString() : QString::fromStdString(line->second.text);
        QWidget* row = label->parentWidget();
        if (label->text() != text)
            resized = resized || row->isVisibleTo(row->parentWidget()); // it wraps anew
        label->setText(text);
        show(row, !text.isEmpty());
    }
    if (!lines.empty()) {
        const HotKeyConfigLine& any = lines.begin()->second;
        interface_->configLinesNote->setText(
            QStringLiteral("%1 takes no key bindings from programs: add the line under each shortcut to %2, "
                           "then reload its configuration. The lines change with the shortcuts.")
                .arg(QString::fromStdString(any.desktop), QString::fromStdString(any.place)));
    }
    show(interface_->configLinesNote, !lines.empty());
    const QStringList released = applicationDelegate_->releasedBindings();
    interface_->releasedBindings->setText(
        QStringLiteral("Velora changed the desktop's settings to free shortcuts: ") +
        released.join(QStringLiteral("; ")));
    show(interface_->releasedBindings, !released.isEmpty());
    show(interface_->restoreBindings, !released.isEmpty());
    if (!resized) return;
    fitPane(interface_->general);
    if (window() && window()->isVisible() && currentView() == interface_->general)
        displayViewForIdentifier(QStringLiteral("General"), false);
}

std::map<std::string, SRRecorderControl*> PrefsController::keyControlsDictionary() const {
    if (!interface_) return {};
    return interface_->recorders;
}

SRRecorderControl* PrefsController::recorder(const std::string& identifier) const {
    if (!interface_) return nullptr;
    auto it = interface_->recorders.find(identifier);
    return it == interface_->recorders.end() ? nullptr : it->second;
}

bool PrefsController::shortcutRecorderIsKeyCodeAndFlagsTaken(SRRecorderControl* asking, int64_t keyCode,
                                                             uint64_t flags, QString* reason) {
    // No shortcut at all is never taken: every recorder may be cleared.
    if (keyCode < 0) return false;
    for (const auto& [identifier, control] : keyControlsDictionary()) {
        const KeyComboPair shown = control->keyCombo();
        if (control != asking && shown.code == keyCode && shown.flags == flags) return true;
    }
    // A shortcut another program holds could not be taken: both would act on it.
    if (applicationDelegate_) {
        const QString held =
            applicationDelegate_->shortcutHeldElsewhere(keyCode, flags, asking == keyUniversalBackward());
        if (!held.isEmpty()) {
            if (reason) *reason = held;
            return true;
        }
    }
    return false;
}

void PrefsController::shortcutRecorderKeyComboDidChange(SRRecorderControl* changed, KeyComboPair) {
    const KeyComboPair pair = changed->keyCombo();
    const SGKeyCombo combo =
        pair.code < 0
            ? SGKeyCombo::clearKeyCombo()
            : SGKeyCombo::keyComboWithKeyCode(pair.code, SRRecorderControl::cocoaToCarbonFlags(pair.flags));
    for (const auto& [identifier, control] : keyControlsDictionary()) {
        if (control != changed) continue;
        UserDefaults& defaults = UserDefaults::standard();
        defaults.setObject(identifier, combo.plistRepresentation());
        defaults.synchronize();
        if (applicationDelegate_) applicationDelegate_->updateState(this);
        return;
    }
}

void PrefsController::shortcutIsRecording(bool recording) {
    if (applicationDelegate_) applicationDelegate_->shortcutIsRecording(recording);
}

QWidget* PrefsController::preferencesGeneral() const {
    return interface_ ? interface_->general : nullptr;
}
QWidget* PrefsController::preferencesAppearance() const {
    return interface_ ? interface_->appearance : nullptr;
}
QWidget* PrefsController::preferencesAdvanced() const {
    return interface_ ? interface_->advanced : nullptr;
}
QWidget* PrefsController::preferencesFilters() const {
    return interface_ ? interface_->filters : nullptr;
}
QWidget* PrefsController::preferencesTips() const {
    return interface_ ? interface_->tips : nullptr;
}
QWidget* PrefsController::preferencesUpdates() const {
    return interface_ ? interface_->updates : nullptr;
}
IgnoreTable* PrefsController::ignoreTable() const {
    return interface_ ? interface_->ignoreTable : nullptr;
}

QLabel* PrefsController::displayDelayLabel() const {
    return interface_ ? interface_->displayDelay->valueLabel() : nullptr;
}

QWidget* PrefsController::settingControl(const QString& key) const {
    if (!interface_) return nullptr;
    for (DefaultsCheckBox* box : interface_->checkBoxes)
        if (box->key() == key) return box;
    for (DefaultsSlider* slider :
         {interface_->displayDelay, interface_->windowWidth, interface_->windowHeight})
        if (slider->key() == key) return slider;
    return nullptr;
}

} // namespace velora
