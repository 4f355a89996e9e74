#pragma once
// Freeing a shortcut that the window manager holds, the way its own users do it: its
// settings store (xfconf for xfwm4, gsettings for marco and mutter) or its configuration
// file (icewm, openbox, fluxbox), followed by the reload the manager documents.
//
// - Nothing changes until apply() is called (the alert's button). The plan is read afresh
//   then, so the description the user saw and the change made come from the same state.
// - Programs are started with separate arguments, never through a shell. Files are rewritten
//   atomically, changing only the lines or elements named in the description.
// - apply() returns a record of exactly what changed (old and new text of each file edit, old
//   value of each setting); restore() puts those back, so the change can be undone later,
//   after a restart too (the records live in the settings). A file edited since is restored
//   only where the text Velora wrote is still found.
//
// Shortcuts are (event flags, virtual key) pairs; on X11 Alt is Command, Super is Option.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/input.h"
#include "settings/plist_value.h"

namespace velora {

struct Shortcut {
    uint64_t flags = 0;
    int64_t keyCode = -1;
    friend bool operator==(const Shortcut&, const Shortcut&) = default;
};

struct CommandResult {
    int exitCode = 0;
    QString output; // standard output
};
// Runs argv[0] with the rest as its arguments and waits; none when it cannot be started.
using CommandRunner = std::function<std::optional<CommandResult>(const QStringList& argv)>;

// What the changes touch; tests give their own.
struct BindingEnvironment {
    QString home;           // the user's home folder
    QString systemRoot;     // prefix of system configuration (/etc/xdg/openbox...), "" for "/"
    QString currentDesktop; // $XDG_CURRENT_DESKTOP (LXQt runs openbox on lxqt-rc.xml)
    CommandRunner run;
    // Sends the signal to the process; false when it cannot.
    std::function<bool(int64_t pid, int signal)> signal;
};
// $HOME, the real root, programs through QProcess and kill(2).
BindingEnvironment systemBindingEnvironment();

enum class WindowManagerKind { Unknown, Xfwm4, Marco, Mutter, Muffin, IceWM, Openbox, Fluxbox, KWin };
// From the window manager's name (_NET_WM_NAME of its check window).
WindowManagerKind windowManagerKind(const std::string& name);

// What the user can do by hand to free shortcuts in that manager; one paragraph.
QString manualInstructions(WindowManagerKind kind);

class BindingRelease {
  public:
    BindingRelease(WindowManagerKind kind, KeyHolder holder, std::vector<Shortcut> shortcuts,
                   BindingEnvironment env);

    // Exactly what apply() would change now; empty when it would change nothing (the
    // manager's settings do not bind these shortcuts where Velora looks).
    QString description() const;
    bool canApply() const { return !description().isEmpty(); }
    // Makes the changes and asks the manager to reload. The record of what changed (when one
    // change fails, of those made before it, with the reason in error), or none with the
    // reason in error when nothing changed.
    std::optional<PlistValue> apply(QString* error) const;

  private:
    struct Plan;
    Plan plan() const;

    WindowManagerKind kind_;
    KeyHolder holder_;
    std::vector<Shortcut> shortcuts_;
    BindingEnvironment env_;
};

// Undoes a record made by apply() and asks the manager it was made for to reload, when that
// is the one running now (the holder); another reads its settings when it next starts.
// False with the reason when something could not be put back.
bool restoreBindings(const PlistValue& record, const KeyHolder& holder, const BindingEnvironment& env,
                     QString* error);
// The record's description, for the preferences.
QString recordDescription(const PlistValue& record);

// Accelerators as the managers write them, read into shortcuts: "<Alt><Shift>Tab" (GTK),
// "Mod1 Shift Tab" (fluxbox), "S-A-Tab" (openbox). None when unreadable.
std::optional<Shortcut> parseGtkAccelerator(const QString& text);
std::optional<Shortcut> parseFluxboxKeys(const QString& text);
std::optional<Shortcut> parseOpenboxKey(const QString& text);

} // namespace velora
