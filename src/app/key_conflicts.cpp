#include "app/key_conflicts.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <cstdio>

#include "app/alert_builder.h"
#include "hotkeys/hot_key_matching.h"
#include "hotkeys/sg_hot_key_center.h"
#include "platform/platform.h"
#include "prefs/recorder_keys.h"
#include "settings/user_defaults.h"

namespace velora {

namespace {

const char* const kReleasedBindingsKey = "releasedBindings";

QString joinNames(const QStringList& names) {
    if (names.size() <= 1) return names.join(QString());
    return names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + names.last();
}

} // namespace

QString holderPhrase(const KeyHolder& holder, bool confirmed) {
    if (holder.name.empty()) return QStringLiteral("Another program");
    const QString name = QString::fromStdString(holder.name);
    if (confirmed) return QStringLiteral("%1 (the window manager)").arg(name);
    return QStringLiteral("Another program (most likely the window manager, %1)").arg(name);
}

KeyConflicts::KeyConflicts(BindingEnvironment env, QObject* parent) : QObject(parent), env_(std::move(env)) {}

void KeyConflicts::update(const std::map<std::string, SGHotKeyRef>& hotKeys) {
    const SGHotKeyCenter& center = SGHotKeyCenter::sharedCenter();
    std::map<std::string, QString> notes;
    std::vector<Shortcut> fresh;
    QStringList freshNames;
    std::vector<std::pair<std::string, Shortcut>> refused;
    for (const auto& [identifier, hotKey] : hotKeys) {
        if (!hotKey || !hotKey->keyCombo().isValidHotKeyCombo() || !center.isRefused(*hotKey)) continue;
        const InterceptedKey key = interceptedKeyFor(*hotKey);
        refused.push_back({identifier, {key.modifiers, key.keyCode}});
    }
    KeyHolder holder;
    if (!refused.empty()) holder = input().keyHolder();
    // Hot keys are registered again on every settings change, and the refused list is reported
    // at every switch: most updates find what the last one found.
    if (refused == lastRefused_ && holder.name == lastHolder_) return;
    lastRefused_ = refused;
    lastHolder_ = holder.name;
    // The desktop itself refused the keys (sway cannot make the binding): no one is to be
    // asked to let them go, so the notes say so and there is no alert.
    const bool desktopRefused = !holder.refusal.empty();
    bool confirmed = false;
    if (!refused.empty() && !desktopRefused) {
        std::vector<Shortcut> all;
        all.reserve(refused.size());
        for (const auto& r : refused)
            all.push_back(r.second);
        // X tells no one who holds a key: the manager is named as the holder when its own
        // settings bind the shortcut.
        confirmed = BindingRelease(windowManagerKind(holder.name), holder, all, env_).canApply();
    }
    for (const auto& [identifier, shortcut] : refused) {
        const QString name = QString::fromStdString(holder.name);
        notes[identifier] = desktopRefused ? QStringLiteral("Refused by %1").arg(name)
                            : confirmed    ? QStringLiteral("Held by %1").arg(name)
                                           : QStringLiteral("Held by another program");
        if (!told_.insert({shortcut.flags, shortcut.keyCode}).second) continue;
        if (desktopRefused) {
            std::fprintf(stderr, "velora: %s refused %s: %s\n", holder.name.c_str(),
                         displayNameForCombination(shortcut.flags, shortcut.keyCode).toUtf8().constData(),
                         holder.refusal.c_str());
            continue;
        }
        fresh.push_back(shortcut);
        freshNames << displayNameForCombination(shortcut.flags, shortcut.keyCode);
    }
    // Keys that were held and are taken now, under the same combination.
    std::map<std::string, std::pair<uint64_t, int64_t>> noted;
    for (const auto& [identifier, hotKey] : hotKeys) {
        if (!hotKey) continue;
        const InterceptedKey key = interceptedKeyFor(*hotKey);
        auto before = notedKeys_.find(identifier);
        if (notes.count(identifier))
            noted[identifier] = {key.modifiers, key.keyCode};
        else if (before != notedKeys_.end() && before->second == std::make_pair(key.modifiers, key.keyCode))
            std::fprintf(stderr, "velora: %s is free now; Velora uses it\n",
                         displayNameForCombination(key.modifiers, key.keyCode).toUtf8().constData());
    }
    notedKeys_ = std::move(noted);
    if (notes != notes_) {
        notes_ = std::move(notes);
        emit notesChanged();
    }
    if (!fresh.empty()) showAlert(holder, fresh, freshNames);
}

QString KeyConflicts::heldElsewhereReason(const Shortcut& shortcut) const {
    const KeyHolder holder = input().keyHolder();
    if (!BindingRelease(windowManagerKind(holder.name), holder, {shortcut}, env_).canApply())
        return QStringLiteral("Another program uses it");
    return QStringLiteral("%1 uses it").arg(QString::fromStdString(holder.name));
}

void KeyConflicts::showAlert(const KeyHolder& holder, const std::vector<Shortcut>& shortcuts,
                             const QStringList& names) {
    const WindowManagerKind kind = windowManagerKind(holder.name);
    const QString what = joinNames(names);
    const bool several = names.size() > 1;
    const QString manager = QString::fromStdString(holder.name);
    const QString change = BindingRelease(kind, holder, shortcuts, env_).description();
    const QString phrase = holderPhrase(holder, !change.isEmpty());
    // Also on the standard error, for logs and for whoever runs Velora from a terminal.
    std::fprintf(stderr, "velora: %s held by %s; Velora leaves %s alone until %s free\n",
                 what.toUtf8().constData(), phrase.toUtf8().constData(), several ? "them" : "it",
                 several ? "they are" : "it is");

    QString text =
        QStringLiteral("%1 holds %2, so Velora cannot use %3: pressing %3 would make both programs act. "
                       "Velora leaves %3 alone and takes %3 as soon as %4 free, without a restart.\n\n"
                       "To free %3: %5 Or choose other shortcuts in Velora's preferences.")
            .arg(phrase, what, several ? QStringLiteral("them") : QStringLiteral("it"),
                 several ? QStringLiteral("they are") : QStringLiteral("it is"),
                 kind == WindowManagerKind::Unknown || change.isEmpty()
                     ? manualInstructions(WindowManagerKind::Unknown)
                     : manualInstructions(kind));
    QStringList buttons;
    if (!change.isEmpty()) {
        const QString button = QStringLiteral("Free %1 in %2")
                                   .arg(several ? QStringLiteral("Them") : QStringLiteral("It"), manager);
        text +=
            QStringLiteral("\n\n\"%1\" will %2. You can undo this in the preferences.").arg(button, change);
        buttons << button;
    }
    buttons << QStringLiteral("Open Preferences")
            << (change.isEmpty() ? QStringLiteral("Okay") : QStringLiteral("Not Now"));
    const QString title = change.isEmpty() ? QStringLiteral("%1: taken by another program").arg(what)
                                           : QStringLiteral("%1: taken by %2").arg(what, manager);
    std::unique_ptr<QMessageBox> alert = createAlert(title, text, buttons, false);
    const int freeAnswer = change.isEmpty() ? -2 : kAlertFirstButtonReturn;
    const int prefsAnswer = change.isEmpty() ? kAlertFirstButtonReturn : kAlertFirstButtonReturn + 1;
    QMessageBox* box = alert.get();
    // Closing the alert's window is the last button: nothing changes.
    box->setEscapeButton(box->buttons().isEmpty() ? nullptr : box->buttons().last());
    connect(box, &QMessageBox::buttonClicked, this, [this, box, freeAnswer, prefsAnswer, shortcuts] {
        const int answer = alertAnswer(*box);
        if (answer == freeAnswer)
            free(shortcuts);
        else if (answer == prefsAnswer)
            emit preferencesRequested();
    });
    presentAlertSheet(std::move(alert), nullptr);
}

void KeyConflicts::free(const std::vector<Shortcut>& shortcuts) {
    const KeyHolder holder = input().keyHolder();
    BindingRelease release(windowManagerKind(holder.name), holder, shortcuts, env_);
    QString error;
    std::optional<PlistValue> record = release.apply(&error);
    const QString description = record ? recordDescription(*record) : QString();
    if (record) {
        UserDefaults& d = UserDefaults::standard();
        PlistValue::Array records;
        if (const PlistValue::Array* old = d.objectForKey(kReleasedBindingsKey).asArray()) records = *old;
        records.push_back(std::move(*record));
        d.setObject(kReleasedBindingsKey, PlistValue(std::move(records)));
        d.synchronize();
        std::fprintf(stderr, "velora: changed the settings of %s: %s\n", holder.name.c_str(),
                     description.toUtf8().constData());
        SGHotKeyCenter::sharedCenter().retryRefusedKeys();
    }
    if (!record || !error.isEmpty()) {
        const QString outcome = record ? QStringLiteral("Velora made these changes before that, which "
                                                        "\"Restore the desktop's shortcuts\" in the "
                                                        "preferences undoes: %1.")
                                             .arg(description)
                                       : QStringLiteral("Nothing was changed.");
        presentAlertSheet(createAlert(QStringLiteral("The shortcut could not be freed"),
                                      error + QStringLiteral("\n\n") + outcome, {QStringLiteral("Okay")},
                                      false),
                          nullptr);
    }
}

std::vector<PlistValue> KeyConflicts::releasedBindings() const {
    const PlistValue stored = UserDefaults::standard().objectForKey(kReleasedBindingsKey);
    if (const PlistValue::Array* records = stored.asArray()) return *records;
    return {};
}

bool KeyConflicts::restoreReleasedBindings(QString* error) {
    std::vector<PlistValue> records = releasedBindings();
    const KeyHolder holder = input().keyHolder();
    QStringList problems;
    // A change that could not be put back stays on the list, to be tried again.
    PlistValue::Array kept;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        QString problem;
        if (!restoreBindings(*it, holder, env_, &problem)) kept.insert(kept.begin(), *it);
        if (!problem.isEmpty()) problems << problem;
    }
    const bool ok = kept.empty();
    UserDefaults& d = UserDefaults::standard();
    if (ok)
        d.removeObject(kReleasedBindingsKey);
    else
        d.setObject(kReleasedBindingsKey, PlistValue(std::move(kept)));
    d.synchronize();
    if (error) *error = problems.join(QStringLiteral("\n"));
    return ok;
}

} // namespace velora
