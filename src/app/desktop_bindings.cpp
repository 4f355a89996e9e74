#include "app/desktop_bindings.h"

#include <sys/stat.h>
#include <time.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <map>
#include <signal.h>
#include <thread>

#include "prefs/recorder_keys.h"
#include "settings/atomic_file.h"

namespace velora {

namespace {

// --- keys and modifiers as the managers name them

// Lower-case X key names, so that the managers' spellings compare equal.
QString normalKeyName(QString name) {
    name = name.trimmed().toLower();
    if (name == QLatin1String("`") || name == QLatin1String("above_tab")) return QStringLiteral("grave");
    if (name == QLatin1String("esc")) return QStringLiteral("escape");
    return name;
}

QString keyName(int64_t keyCode) {
    return normalKeyName(keyNameForVirtualKey(keyCode));
}

// Alt is Command and Super is Option on X11 (prefs/recorder_keys.h).
std::optional<uint64_t> flagForModifier(QString name) {
    name = name.toLower();
    if (name == QLatin1String("alt") || name == QLatin1String("mod1") || name == QLatin1String("a"))
        return kEventFlagCommand;
    if (name == QLatin1String("super") || name == QLatin1String("mod4") || name == QLatin1String("w"))
        return kEventFlagOption;
    if (name == QLatin1String("control") || name == QLatin1String("ctrl") ||
        name == QLatin1String("primary") || name == QLatin1String("c"))
        return kEventFlagControl;
    if (name == QLatin1String("shift") || name == QLatin1String("s")) return kEventFlagShift;
    return std::nullopt;
}

std::optional<Shortcut> shortcutFrom(const QStringList& modifiers, const QString& key) {
    Shortcut s;
    for (const QString& m : modifiers) {
        auto flag = flagForModifier(m);
        if (!flag) return std::nullopt;
        s.flags |= *flag;
    }
    const QString wanted = normalKeyName(key);
    for (int64_t code = 0; code < 128; ++code)
        if (!keyNameForVirtualKey(code).isEmpty() && keyName(code) == wanted) {
            s.keyCode = code;
            return s;
        }
    return std::nullopt;
}

bool listed(const std::vector<Shortcut>& shortcuts, const std::optional<Shortcut>& s) {
    return s && std::find(shortcuts.begin(), shortcuts.end(), *s) != shortcuts.end();
}

QString displayPath(const QString& path, const QString& home) {
    if (!home.isEmpty() && path.startsWith(home + QLatin1Char('/')))
        return QStringLiteral("~") + path.mid(home.size());
    return path;
}

// --- files

std::optional<QString> readText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    return QString::fromUtf8(f.readAll());
}

// Keeps the file's permissions (a private keys file stays private); a new file gets 0644.
// fluxbox rereads its keys file on reconfigure only when the file's change time differs from
// the one it loaded, in whole seconds: a file written in the second it was last changed
// would look unchanged. Such a write (`newChangeTime`) waits for the next second then (at
// most 1 s), on the clock the kernel stamps files with: the coarse real-time clock, which
// lags the precise one by up to a tick.
QString writeText(const QString& path, const QString& text, bool newChangeTime = false) {
    struct stat st {};
    const bool exists = ::stat(path.toLocal8Bit().constData(), &st) == 0;
    const mode_t mode = exists ? (st.st_mode & 07777) : 0644;
    timespec now{};
    while (exists && newChangeTime && ::clock_gettime(CLOCK_REALTIME_COARSE, &now) == 0 &&
           now.tv_sec <= st.st_ctime && now.tv_sec >= st.st_ctime - 1)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::string error = writeFileAtomically(path.toStdString(), text.toUtf8().toStdString(), mode);
    return QString::fromStdString(error);
}

} // namespace

std::optional<Shortcut> parseGtkAccelerator(const QString& text) {
    static const QRegularExpression modifier(QStringLiteral("<([A-Za-z0-9_]+)>"));
    QStringList mods;
    auto it = modifier.globalMatch(text);
    qsizetype end = 0;
    while (it.hasNext()) {
        auto m = it.next();
        if (m.capturedStart() != end) return std::nullopt;
        mods << m.captured(1);
        end = m.capturedEnd();
    }
    if (end >= text.size()) return std::nullopt;
    return shortcutFrom(mods, text.mid(end));
}

std::optional<Shortcut> parseFluxboxKeys(const QString& text) {
    QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty()) return std::nullopt;
    const QString key = words.takeLast();
    return shortcutFrom(words, key);
}

std::optional<Shortcut> parseOpenboxKey(const QString& text) {
    QStringList parts = text.split(QLatin1Char('-'));
    if (parts.isEmpty() || parts.last().isEmpty()) return std::nullopt;
    const QString key = parts.takeLast();
    return shortcutFrom(parts, key);
}

WindowManagerKind windowManagerKind(const std::string& name) {
    const QString n = QString::fromStdString(name).toLower();
    if (n.startsWith(QLatin1String("xfwm4"))) return WindowManagerKind::Xfwm4;
    if (n.startsWith(QLatin1String("marco")) || n.startsWith(QLatin1String("metacity (marco)")))
        return WindowManagerKind::Marco;
    if (n.contains(QLatin1String("muffin"))) return WindowManagerKind::Muffin;
    if (n.startsWith(QLatin1String("mutter")) || n.startsWith(QLatin1String("gnome shell")))
        return WindowManagerKind::Mutter;
    if (n.startsWith(QLatin1String("icewm"))) return WindowManagerKind::IceWM;
    if (n.startsWith(QLatin1String("openbox"))) return WindowManagerKind::Openbox;
    if (n.startsWith(QLatin1String("fluxbox"))) return WindowManagerKind::Fluxbox;
    if (n.startsWith(QLatin1String("kwin"))) return WindowManagerKind::KWin;
    return WindowManagerKind::Unknown;
}

QString manualInstructions(WindowManagerKind kind) {
    switch (kind) {
    case WindowManagerKind::Xfwm4:
        return QStringLiteral("In Settings > Window Manager > Keyboard, clear \"Cycle windows\" (or run "
                              "xfconf-query -c xfce4-keyboard-shortcuts -p \"/xfwm4/custom/<Alt>Tab\" -r).");
    case WindowManagerKind::Marco:
        return QStringLiteral("In Keyboard Shortcuts, disable \"Move between windows\" (or run gsettings set "
                              "org.mate.Marco.global-keybindings switch-windows disabled).");
    case WindowManagerKind::Mutter:
        return QStringLiteral(
            "In Settings > Keyboard > Keyboard Shortcuts > Navigation, change \"Switch applications\" "
            "and \"Switch windows\" (gsettings schema org.gnome.desktop.wm.keybindings).");
    case WindowManagerKind::Muffin:
        return QStringLiteral(
            "In System Settings > Keyboard > Shortcuts > Windows, change \"Switch between windows\" "
            "(gsettings schema org.cinnamon.desktop.keybindings.wm).");
    case WindowManagerKind::IceWM:
        return QStringLiteral("Put QuickSwitch=0 in ~/.icewm/preferences and run icewm -r.");
    case WindowManagerKind::Openbox:
        return QStringLiteral(
            "Remove its <keybind> from ~/.config/openbox/rc.xml and run openbox --reconfigure.");
    case WindowManagerKind::Fluxbox:
        return QStringLiteral(
            "Comment out its line in ~/.fluxbox/keys and choose Reconfigure in the fluxbox menu.");
    case WindowManagerKind::KWin:
        return QStringLiteral("In System Settings > Shortcuts > KWin, clear \"Walk Through Windows\".");
    case WindowManagerKind::Unknown:
        break;
    }
    return QStringLiteral("Free it in the keyboard settings of your desktop.");
}

// --- plans

struct FileEdit {
    QString path;
    QString templatePath; // copied first when the user has no file yet
    QString oldText, newText;
    QString before; // the whole file as read (or the template)
};

struct SettingEdit {
    QString tool;       // "gsettings" or "xfconf"
    QString group, key; // schema and key, or channel and property
    QString oldValue, newValue;
    QString type; // xfconf's type for restoring
};

struct BindingRelease::Plan {
    QStringList changes; // one line per change, for the description
    std::vector<FileEdit> files;
    std::vector<SettingEdit> settings;
};

BindingRelease::BindingRelease(WindowManagerKind kind, KeyHolder holder, std::vector<Shortcut> shortcuts,
                               BindingEnvironment env)
    : kind_(kind), holder_(std::move(holder)), shortcuts_(std::move(shortcuts)), env_(std::move(env)) {}

namespace {

QString xdgPath(const BindingEnvironment& env, const QString& rel) {
    return env.home + QLatin1Char('/') + rel;
}

// Comments out the fluxbox key lines that bind the shortcuts.
void planFluxbox(const BindingEnvironment& env, const std::vector<Shortcut>& shortcuts, QStringList& changes,
                 std::vector<FileEdit>& files) {
    QString path = xdgPath(env, QStringLiteral(".fluxbox/keys"));
    // A keys file named in ~/.fluxbox/init wins.
    if (auto init = readText(xdgPath(env, QStringLiteral(".fluxbox/init")))) {
        static const QRegularExpression keyFile(QStringLiteral("^session\\.keyFile:\\s*(\\S.*)$"),
                                                QRegularExpression::MultilineOption);
        auto m = keyFile.match(*init);
        if (m.hasMatch()) {
            QString named = m.captured(1).trimmed();
            if (named.startsWith(QLatin1String("~/"))) named = env.home + named.mid(1);
            path = named;
        }
    }
    auto text = readText(path);
    if (!text) return;
    for (const QString& line : text->split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('#')) || trimmed.startsWith(QLatin1Char('!'))) continue;
        const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
        if (colon <= 0 || !listed(shortcuts, parseFluxboxKeys(trimmed.left(colon)))) continue;
        files.push_back(
            {path, {}, line + QLatin1Char('\n'), QStringLiteral("#") + line + QLatin1Char('\n'), *text});
        changes << QStringLiteral("comment out \"%1\" in %2").arg(trimmed, displayPath(path, env.home));
    }
}

// Sets QuickSwitch=0 (icewm's Alt+Tab and Alt+Shift+Tab switcher).
void planIceWM(const BindingEnvironment& env, const std::vector<Shortcut>& shortcuts, QStringList& changes,
               std::vector<FileEdit>& files) {
    const Shortcut altTab{kEventFlagCommand, 48}, altShiftTab{kEventFlagCommand | kEventFlagShift, 48};
    if (!listed(shortcuts, altTab) && !listed(shortcuts, altShiftTab)) return;
    const QString path = xdgPath(env, QStringLiteral(".icewm/preferences"));
    const QString text = readText(path).value_or(QString());
    static const QRegularExpression existing(QStringLiteral("^[ \\t#]*QuickSwitch[ \\t]*=.*\\n?"),
                                             QRegularExpression::MultilineOption);
    auto m = existing.match(text);
    QString oldText = m.hasMatch() ? m.captured(0) : QString();
    if (oldText.trimmed() == QLatin1String("QuickSwitch=0")) return;
    files.push_back({path, {}, oldText, QStringLiteral("QuickSwitch=0\n"), text});
    changes << QStringLiteral("set QuickSwitch=0 in %1").arg(displayPath(path, env.home));
}

// Removes openbox <keybind> elements of the shortcuts.
void planOpenbox(const BindingEnvironment& env, const KeyHolder& holder,
                 const std::vector<Shortcut>& shortcuts, QStringList& changes, std::vector<FileEdit>& files) {
    const bool lxqt = env.currentDesktop.contains(QLatin1String("LXQt"), Qt::CaseInsensitive);
    const QString file = lxqt ? QStringLiteral("lxqt-rc.xml") : QStringLiteral("rc.xml");
    // The file openbox says it reads (_OB_CONFIG_FILE; a session may start it with
    // --config-file) is edited when it is the user's own; a system file is never written: it
    // is copied to the user's file first, which openbox then prefers.
    const QString named = QString::fromStdString(holder.configFile);
    const bool own = !named.isEmpty() && named.startsWith(env.home + QLatin1Char('/'));
    const QString path = own ? named : xdgPath(env, QStringLiteral(".config/openbox/") + file);
    QString templatePath;
    auto text = readText(path);
    if (!text) {
        templatePath =
            !named.isEmpty() && !own ? named : env.systemRoot + QStringLiteral("/etc/xdg/openbox/") + file;
        text = readText(templatePath);
        if (!text) return;
    }
    static const QRegularExpression keybind(
        QStringLiteral("[ \\t]*<keybind\\s+key=\"([^\"]+)\"[^>]*>.*?</keybind>[ \\t]*\\n?"),
        QRegularExpression::DotMatchesEverythingOption);
    for (auto it = keybind.globalMatch(*text); it.hasNext();) {
        auto m = it.next();
        if (!listed(shortcuts, parseOpenboxKey(m.captured(1)))) continue;
        files.push_back({path, templatePath, m.captured(0), QString(), *text});
        changes << QStringLiteral("remove the <keybind key=\"%1\"> from %2")
                       .arg(m.captured(1), displayPath(path, env.home));
    }
}

QString unquoted(QString v) {
    v = v.trimmed();
    if (v.size() >= 2 && v.startsWith(QLatin1Char('\'')) && v.endsWith(QLatin1Char('\'')))
        return v.mid(1, v.size() - 2);
    return v;
}

// The strings of a GVariant string list as gsettings prints it: ['<Super>Tab', '<Alt>Tab'].
QStringList gvariantStrings(QString v) {
    v = v.trimmed();
    if (v.startsWith(QLatin1String("@as"))) v = v.mid(3).trimmed();
    if (!v.startsWith(QLatin1Char('[')) || !v.endsWith(QLatin1Char(']'))) return {};
    QStringList out;
    for (const QString& part : v.mid(1, v.size() - 2).split(QLatin1Char(','), Qt::SkipEmptyParts))
        out << unquoted(part);
    return out;
}

QString gvariantList(const QStringList& items) {
    if (items.isEmpty()) return QStringLiteral("@as []");
    QStringList quoted;
    for (const QString& i : items)
        quoted << QLatin1Char('\'') + i + QLatin1Char('\'');
    return QLatin1Char('[') + quoted.join(QStringLiteral(", ")) + QLatin1Char(']');
}

void planGsettings(const BindingEnvironment& env, const std::vector<Shortcut>& shortcuts,
                   const QString& schema, const QStringList& keys, bool isList, QStringList& changes,
                   std::vector<SettingEdit>& settings) {
    for (const QString& key : keys) {
        auto got = env.run({QStringLiteral("gsettings"), QStringLiteral("get"), schema, key});
        if (!got || got->exitCode != 0) continue;
        const QString old = got->output.trimmed();
        QString value;
        if (isList) {
            QStringList items = gvariantStrings(old), kept;
            for (const QString& i : items)
                if (!listed(shortcuts, parseGtkAccelerator(i))) kept << i;
            if (kept.size() == items.size()) continue;
            value = gvariantList(kept);
        } else {
            if (!listed(shortcuts, parseGtkAccelerator(unquoted(old)))) continue;
            value = QStringLiteral("'disabled'");
        }
        settings.push_back({QStringLiteral("gsettings"), schema, key, old, value, {}});
        changes << QStringLiteral("set %1 %2 from %3 to %4").arg(schema, key, old, value);
    }
}

void planXfconf(const BindingEnvironment& env, const std::vector<Shortcut>& shortcuts, QStringList& changes,
                std::vector<SettingEdit>& settings) {
    const QString channel = QStringLiteral("xfce4-keyboard-shortcuts");
    auto list =
        env.run({QStringLiteral("xfconf-query"), QStringLiteral("-c"), channel, QStringLiteral("-l")});
    if (!list || list->exitCode != 0) return;
    const QString prefix = QStringLiteral("/xfwm4/custom/");
    for (const QString& property : list->output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString p = property.trimmed();
        if (!p.startsWith(prefix) || !listed(shortcuts, parseGtkAccelerator(p.mid(prefix.size())))) continue;
        auto value =
            env.run({QStringLiteral("xfconf-query"), QStringLiteral("-c"), channel, QStringLiteral("-p"), p});
        if (!value || value->exitCode != 0) continue;
        settings.push_back(
            {QStringLiteral("xfconf"), channel, p, value->output.trimmed(), {}, QStringLiteral("string")});
        changes << QStringLiteral("remove %1 (%2) from the xfconf channel %3")
                       .arg(p, value->output.trimmed(), channel);
    }
}

const QStringList kMarcoKeys = {QStringLiteral("switch-windows"), QStringLiteral("switch-windows-backward"),
                                QStringLiteral("switch-group"),   QStringLiteral("switch-panels"),
                                QStringLiteral("cycle-windows"),  QStringLiteral("cycle-group")};
const QStringList kMutterKeys = {
    QStringLiteral("switch-applications"), QStringLiteral("switch-applications-backward"),
    QStringLiteral("switch-windows"),      QStringLiteral("switch-windows-backward"),
    QStringLiteral("switch-group"),        QStringLiteral("switch-group-backward"),
    QStringLiteral("cycle-windows"),       QStringLiteral("cycle-group")};

// Asks the manager to read its settings again. Settings stores announce changes themselves.
bool reload(WindowManagerKind kind, const KeyHolder& holder, const BindingEnvironment& env, QString* error) {
    auto runs = [&](const QStringList& argv) {
        auto r = env.run(argv);
        if (r && r->exitCode == 0) return true;
        if (error) *error = QStringLiteral("%1 did not run").arg(argv.join(QLatin1Char(' ')));
        return false;
    };
    switch (kind) {
    case WindowManagerKind::IceWM:
        return runs({QStringLiteral("icewm"), QStringLiteral("-r")});
    case WindowManagerKind::Openbox:
        return runs({QStringLiteral("openbox"), QStringLiteral("--reconfigure")});
    case WindowManagerKind::Fluxbox:
        // fluxbox reloads its configuration on SIGUSR2 (fluxbox-remote needs remote actions
        // allowed, which they are not by default).
        if (holder.pid > 0 && env.signal(holder.pid, SIGUSR2)) return true;
        if (error) *error = QStringLiteral("fluxbox could not be told to reconfigure");
        return false;
    default:
        return true;
    }
}

} // namespace

BindingRelease::Plan BindingRelease::plan() const {
    Plan p;
    switch (kind_) {
    case WindowManagerKind::Fluxbox:
        planFluxbox(env_, shortcuts_, p.changes, p.files);
        break;
    case WindowManagerKind::IceWM:
        planIceWM(env_, shortcuts_, p.changes, p.files);
        break;
    case WindowManagerKind::Openbox:
        planOpenbox(env_, holder_, shortcuts_, p.changes, p.files);
        break;
    case WindowManagerKind::Marco:
        planGsettings(env_, shortcuts_, QStringLiteral("org.mate.Marco.global-keybindings"), kMarcoKeys,
                      false, p.changes, p.settings);
        break;
    case WindowManagerKind::Mutter:
        planGsettings(env_, shortcuts_, QStringLiteral("org.gnome.desktop.wm.keybindings"), kMutterKeys, true,
                      p.changes, p.settings);
        break;
    case WindowManagerKind::Muffin:
        planGsettings(env_, shortcuts_, QStringLiteral("org.cinnamon.desktop.keybindings.wm"), kMutterKeys,
                      true, p.changes, p.settings);
        break;
    case WindowManagerKind::Xfwm4:
        planXfconf(env_, shortcuts_, p.changes, p.settings);
        break;
    default:
        break;
    }
    return p;
}

QString BindingRelease::description() const {
    const Plan p = plan();
    if (p.changes.isEmpty()) return {};
    QString text = p.changes.join(QStringLiteral("; "));
    if (kind_ == WindowManagerKind::IceWM) text += QStringLiteral("; then restart icewm (icewm -r)");
    if (kind_ == WindowManagerKind::Openbox) text += QStringLiteral("; then openbox --reconfigure");
    if (kind_ == WindowManagerKind::Fluxbox) text += QStringLiteral("; then tell fluxbox to reconfigure");
    return text;
}

std::optional<PlistValue> BindingRelease::apply(QString* error) const {
    const Plan p = plan();
    if (p.changes.isEmpty()) {
        if (error)
            *error = QStringLiteral("Nothing to change: the shortcut is not bound where Velora looks.");
        return std::nullopt;
    }
    // The changes go one by one, each recorded once made: when one fails the rest are not
    // tried, and the record holds exactly what was changed, so that it can be undone.
    PlistValue::Array edits;
    QStringList done;
    QString failed;
    // Edits of one file are made together, in one write; its changes count once written.
    struct FileWrite {
        QString text;
        PlistValue::Array records;
        QStringList changes;
    };
    std::map<QString, FileWrite> writes;
    for (std::size_t i = 0; i < p.files.size(); ++i) {
        const FileEdit& f = p.files[i];
        FileWrite& write = writes.try_emplace(f.path, FileWrite{f.before, {}, {}}).first->second;
        QString& text = write.text;
        // What precedes the edit, so that a removal goes back in the same place.
        QString context;
        if (f.oldText.isEmpty()) {
            if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n'))) text += QLatin1Char('\n');
            context = text.right(200);
            text += f.newText;
        } else {
            const qsizetype at = text.indexOf(f.oldText);
            if (at < 0) continue;
            context = text.left(at).right(200);
            text.replace(at, f.oldText.size(), f.newText);
        }
        PlistValue::Dictionary d;
        d["kind"] = PlistValue("file");
        d["path"] = PlistValue(f.path.toStdString());
        d["old"] = PlistValue(f.oldText.toStdString());
        d["new"] = PlistValue(f.newText.toStdString());
        d["context"] = PlistValue(context.toStdString());
        write.records.push_back(PlistValue(std::move(d)));
        write.changes << p.changes.value(qsizetype(i));
    }
    for (auto& [path, write] : writes) {
        failed = writeText(path, write.text, kind_ == WindowManagerKind::Fluxbox);
        if (!failed.isEmpty()) break;
        for (PlistValue& e : write.records)
            edits.push_back(std::move(e));
        done << write.changes;
    }
    for (std::size_t i = 0; i < p.settings.size() && failed.isEmpty(); ++i) {
        const SettingEdit& s = p.settings[i];
        QStringList argv =
            s.tool == QLatin1String("gsettings")
                ? QStringList{QStringLiteral("gsettings"), QStringLiteral("set"), s.group, s.key, s.newValue}
                : QStringList{QStringLiteral("xfconf-query"),
                              QStringLiteral("-c"),
                              s.group,
                              QStringLiteral("-p"),
                              s.key,
                              QStringLiteral("-r")};
        auto r = env_.run(argv);
        if (!r || r->exitCode != 0) {
            failed = QStringLiteral("%1 failed").arg(argv.join(QLatin1Char(' ')));
            break;
        }
        PlistValue::Dictionary d;
        d["kind"] = PlistValue(s.tool.toStdString());
        d["group"] = PlistValue(s.group.toStdString());
        d["key"] = PlistValue(s.key.toStdString());
        d["old"] = PlistValue(s.oldValue.toStdString());
        d["type"] = PlistValue(s.type.toStdString());
        edits.push_back(PlistValue(std::move(d)));
        done << p.changes.value(qsizetype(p.files.size()) + qsizetype(i));
    }
    if (error)
        *error = failed.isEmpty() && edits.empty()
                     ? QStringLiteral("Nothing to change: the settings changed meanwhile.")
                     : failed;
    if (edits.empty()) return std::nullopt;
    QString reloadError;
    if (!reload(kind_, holder_, env_, &reloadError) && error)
        *error = failed.isEmpty() ? reloadError : failed + QStringLiteral("; ") + reloadError;
    PlistValue::Dictionary record;
    record["manager"] = PlistValue(holder_.name);
    record["description"] = PlistValue(done.join(QStringLiteral("; ")).toStdString());
    record["edits"] = PlistValue(std::move(edits));
    return PlistValue(std::move(record));
}

QString recordDescription(const PlistValue& record) {
    const std::string* manager = record["manager"].asString();
    const std::string* text = record["description"].asString();
    return QStringLiteral("%1: %2").arg(QString::fromStdString(manager ? *manager : std::string()),
                                        QString::fromStdString(text ? *text : std::string()));
}

bool restoreBindings(const PlistValue& record, const KeyHolder& holder, const BindingEnvironment& env,
                     QString* error) {
    const PlistValue::Array* edits = record["edits"].asArray();
    if (!edits) {
        if (error) *error = QStringLiteral("The record of the change is damaged.");
        return false;
    }
    auto str = [](const PlistValue& d, const char* key) {
        const std::string* s = d[key].asString();
        return s ? QString::fromStdString(*s) : QString();
    };
    const std::string* manager = record["manager"].asString();
    const WindowManagerKind freed = windowManagerKind(manager ? *manager : std::string());
    bool ok = true;
    QStringList problems;
    // Undone last first, so that edits of one file unwind in order.
    for (auto it = edits->rbegin(); it != edits->rend(); ++it) {
        const PlistValue& e = *it;
        const QString kind = str(e, "kind");
        if (kind == QLatin1String("file")) {
            const QString path = str(e, "path"), oldText = str(e, "old"), newText = str(e, "new");
            QString text = readText(path).value_or(QString());
            if (!newText.isEmpty()) {
                const qsizetype at = text.indexOf(newText);
                if (at < 0) {
                    problems << QStringLiteral("%1 no longer holds Velora's change").arg(path);
                    ok = false;
                    continue;
                }
                text.replace(at, newText.size(), oldText);
            } else {
                // A removal: back after the text that preceded it, else at the end.
                const QString context = str(e, "context");
                const qsizetype at = context.isEmpty() ? 0 : text.indexOf(context);
                if (at < 0)
                    text += oldText;
                else
                    text.insert(at + context.size(), oldText);
            }
            const QString failed = writeText(path, text, freed == WindowManagerKind::Fluxbox);
            if (!failed.isEmpty()) {
                problems << failed;
                ok = false;
            }
        } else if (kind == QLatin1String("gsettings") || kind == QLatin1String("xfconf")) {
            QStringList argv = kind == QLatin1String("gsettings")
                                   ? QStringList{QStringLiteral("gsettings"), QStringLiteral("set"),
                                                 str(e, "group"), str(e, "key"), str(e, "old")}
                                   : QStringList{QStringLiteral("xfconf-query"),
                                                 QStringLiteral("-c"),
                                                 str(e, "group"),
                                                 QStringLiteral("-p"),
                                                 str(e, "key"),
                                                 QStringLiteral("-n"),
                                                 QStringLiteral("-t"),
                                                 str(e, "type"),
                                                 QStringLiteral("-s"),
                                                 str(e, "old")};
            auto r = env.run(argv);
            if (!r || r->exitCode != 0) {
                problems << QStringLiteral("%1 failed").arg(argv.join(QLatin1Char(' ')));
                ok = false;
            }
        }
    }
    // The manager whose settings were changed reloads them, if it is the one running now;
    // another reads them when it next starts.
    QString reloadError;
    if (freed == windowManagerKind(holder.name) && !reload(freed, holder, env, &reloadError))
        problems << reloadError;
    if (error) *error = problems.join(QStringLiteral("; "));
    return ok;
}

BindingEnvironment systemBindingEnvironment() {
    BindingEnvironment env;
    env.home = QDir::homePath();
    env.currentDesktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    env.run = [](const QStringList& argv) -> std::optional<CommandResult> {
        if (argv.isEmpty()) return std::nullopt;
        QProcess p;
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.setStandardInputFile(QProcess::nullDevice());
        p.start(argv.first(), argv.mid(1));
        if (!p.waitForStarted(5000)) return std::nullopt;
        if (!p.waitForFinished(10000)) {
            p.kill();
            p.waitForFinished(1000);
            return std::nullopt;
        }
        if (p.exitStatus() != QProcess::NormalExit) return std::nullopt;
        return CommandResult{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput())};
    };
    env.signal = [](int64_t pid, int sig) {
        // Only a process that still runs the manager's program: the pid may have been reused.
        std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
        std::string name;
        std::getline(comm, name);
        if (name != "fluxbox") return false;
        return ::kill(pid_t(pid), sig) == 0;
    };
    return env;
}

} // namespace velora
