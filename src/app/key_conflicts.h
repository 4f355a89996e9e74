#pragma once
// Hot keys that another program holds: telling the user, and freeing them on request.
//
// - After every registration and every change of the keys the desktop refused, the
//   controller hands over its hot keys; those whose key is refused are the conflicts.
// - Where the desktop itself refused the keys and said why (sway cannot make a binding), the
//   notes say "Refused by sway" and the reason goes to standard error once; no alert.
// - A conflict is told once per run and combination, in one alert for all that are new: the
//   shortcuts, who holds them (X tells no one who holds a key: the window manager is named
//   as the holder when its own settings bind the shortcut, as the likely one otherwise), how
//   to free them by hand, and, where the manager has a documented way, a button that frees
//   them ("Free them in Fluxbox"), whose text says exactly what it changes. Nothing changes
//   unless that button is pressed.
// - What the button changed is kept in the settings ("releasedBindings", a list of records,
//   desktop_bindings.h) so that the preferences can put it back, after a restart too.
// - The hot key center takes a freed key by itself (the desktop retries refused keys); after
//   the change the center is asked to retry at once.
// Main thread only.
#include <QObject>
#include <QString>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/desktop_bindings.h"
#include "hotkeys/sg_hot_key.h"

namespace velora {

class KeyConflicts : public QObject {
    Q_OBJECT

  public:
    explicit KeyConflicts(BindingEnvironment env, QObject* parent = nullptr);

    // The registered hot keys by identifier; shows the alert for conflicts not told yet.
    void update(const std::map<std::string, SGHotKeyRef>& hotKeys);
    // Identifier -> what the recorder shows beside the shortcut ("Held by Fluxbox").
    const std::map<std::string, QString>& notes() const { return notes_; }
    // The refusal text for a shortcut that is held elsewhere, for the recorder.
    QString heldElsewhereReason(const Shortcut& shortcut) const;

    // The changes made by the free button, oldest first.
    std::vector<PlistValue> releasedBindings() const;
    // Puts every recorded change back and forgets its record. False with the reason when
    // some could not be; their records stay.
    bool restoreReleasedBindings(QString* error);

  signals:
    // The notes changed (the preferences show them).
    void notesChanged();
    // The user asked for the preferences from the alert.
    void preferencesRequested();

  private:
    void showAlert(const KeyHolder& holder, const std::vector<Shortcut>& shortcuts, const QStringList& names);
    void free(const std::vector<Shortcut>& shortcuts);

    BindingEnvironment env_;
    std::map<std::string, QString> notes_;
    std::set<std::pair<uint64_t, int64_t>> told_;
    std::map<std::string, std::pair<uint64_t, int64_t>> notedKeys_; // the combinations of notes_
    // What the last update found held and by whom: an update that finds the same skips the
    // desktop's settings, which are read through files and programs.
    std::vector<std::pair<std::string, Shortcut>> lastRefused_;
    std::string lastHolder_;
};

// The holder as a sentence subject: "Fluxbox (the window manager)" when the manager's own
// settings bind the shortcut (confirmed), else "Another program (most likely the window
// manager, Fluxbox)", or "Another program" when the manager has no name.
QString holderPhrase(const KeyHolder& holder, bool confirmed);

} // namespace velora
