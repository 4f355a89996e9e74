#include "settings/user_defaults.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "base/system_text.h"
#include "base/xdg_dirs.h"
#include "settings/atomic_file.h"

namespace velora {

namespace {

constexpr mode_t kFileMode = 0600;

std::mutex standardMutex;
std::unique_ptr<UserDefaults> standardStore;

// The file's bytes; none with the reason when it cannot be read, or with an empty reason when
// there is no file.
std::optional<std::string> readWholeFile(const std::filesystem::path& file, std::string& reason) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT && errno != ENOTDIR) reason = errorText(errno);
        return std::nullopt;
    }
    struct stat st {};
    std::string bytes;
    if (::fstat(fd, &st) != 0) {
        reason = errorText(errno);
    } else if (!S_ISREG(st.st_mode)) {
        reason = "not a regular file";
    } else {
        bytes.reserve(static_cast<size_t>(st.st_size));
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                reason = errorText(errno);
                break;
            }
            if (n == 0) break;
            bytes.append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    if (!reason.empty()) return std::nullopt;
    return bytes;
}

// defaults.plist.damaged-20240131-154502, with a counter when that name is taken.
std::filesystem::path damagedName(const std::filesystem::path& file) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = file.string() + ".damaged-" + stamp;
    std::filesystem::path candidate = base;
    std::error_code ec;
    for (int n = 2; n < 1000; ++n) {
        const auto type = std::filesystem::symlink_status(candidate, ec).type();
        if (type == std::filesystem::file_type::not_found || type == std::filesystem::file_type::none) break;
        candidate = base + "-" + std::to_string(n);
    }
    return candidate;
}

} // namespace

UserDefaults& UserDefaults::standard() {
    std::lock_guard lock(standardMutex);
    if (!standardStore) standardStore = std::make_unique<UserDefaults>(defaultLocation());
    return *standardStore;
}

void UserDefaults::resetStandard(const std::filesystem::path& file) {
    std::lock_guard lock(standardMutex);
    standardStore = std::make_unique<UserDefaults>(file);
}

std::filesystem::path UserDefaults::defaultLocation() {
    return xdgConfigHome() / "velora" / "defaults.plist";
}

UserDefaults::UserDefaults(std::filesystem::path file) : file_(std::move(file)) {
    load();
}

void UserDefaults::load() {
    std::string reason;
    const std::optional<std::string> bytes = readWholeFile(file_, reason);
    std::lock_guard lock(mutex_);
    if (!bytes) {
        if (!reason.empty()) setDamagedFileAside(reason);
        return;
    }
    std::optional<PlistValue> root = PlistValue::fromXml(*bytes, &reason);
    if (root && !root->asDictionary()) {
        root.reset();
        reason = "the property list is not a dictionary";
    }
    if (!root) {
        setDamagedFileAside(reason);
        return;
    }
    values_ = *root->asDictionary();
}

bool UserDefaults::setDamagedFileAside(const std::string& reason) {
    const std::filesystem::path aside = damagedName(file_);
    if (::rename(file_.c_str(), aside.c_str()) == 0) {
        damagedFileInTheWay_.clear();
        std::fprintf(stderr,
                     "velora: the settings file %s could not be read (%s); it was kept as %s and the "
                     "settings start empty\n",
                     file_.c_str(), reason.c_str(), aside.c_str());
        return true;
    }
    if (damagedFileInTheWay_.empty()) {
        std::fprintf(stderr,
                     "velora: the settings file %s could not be read (%s) nor moved aside (%s); the "
                     "settings start empty and it will not be overwritten\n",
                     file_.c_str(), reason.c_str(), errorText(errno).c_str());
        damagedFileInTheWay_ = reason;
    }
    return false;
}

PlistValue UserDefaults::objectForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const auto it = values_.find(key);
    return it == values_.end() ? PlistValue{} : it->second;
}

int64_t UserDefaults::integerForKey(const std::string& key) const {
    return objectForKey(key).toInteger();
}

float UserDefaults::floatForKey(const std::string& key) const {
    const double d = objectForKey(key).toReal();
    constexpr double largest = 3.4028234663852886e38; // FLT_MAX
    if (d > largest) return HUGE_VALF;
    if (d < -largest) return -HUGE_VALF;
    return static_cast<float>(d);
}

bool UserDefaults::boolForKey(const std::string& key) const {
    return objectForKey(key).toBool();
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const {
    const PlistValue value = objectForKey(key);
    switch (value.type()) {
    case PlistValue::Type::String:
        return *value.asString();
    // Numbers read as their decimal text.
    case PlistValue::Type::Boolean:
        return value.toBool() ? "1" : "0";
    case PlistValue::Type::Integer:
        return std::to_string(value.toInteger());
    case PlistValue::Type::Real: {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", value.toReal());
        return std::string(text);
    }
    default:
        return std::nullopt;
    }
}

std::optional<PlistValue::Dictionary> UserDefaults::dictionaryForKey(const std::string& key) const {
    const PlistValue value = objectForKey(key);
    if (const auto* d = value.asDictionary()) return *d;
    return std::nullopt;
}

void UserDefaults::setObject(const std::string& key, PlistValue value) {
    if (value.isNone()) {
        removeObject(key);
        return;
    }
    std::lock_guard lock(mutex_);
    values_.insert_or_assign(key, std::move(value));
    ++changeCount_;
}

void UserDefaults::setInteger(const std::string& key, int64_t value) {
    setObject(key, PlistValue(value));
}

void UserDefaults::setFloat(const std::string& key, float value) {
    setObject(key, PlistValue(static_cast<double>(value)));
}

void UserDefaults::setBool(const std::string& key, bool value) {
    setObject(key, PlistValue(value));
}

void UserDefaults::removeObject(const std::string& key) {
    std::lock_guard lock(mutex_);
    if (values_.erase(key)) ++changeCount_;
}

bool UserDefaults::synchronize() {
    std::lock_guard writing(writeMutex_);
    PlistValue snapshot;
    uint64_t snapshotCount = 0;
    bool blocked = false;
    {
        std::lock_guard lock(mutex_);
        if (changeCount_ == savedChangeCount_) return true;
        snapshot = PlistValue(values_);
        snapshotCount = changeCount_;
        // An unreadable file is replaced only once it has been kept aside.
        blocked = !damagedFileInTheWay_.empty() && !setDamagedFileAside(damagedFileInTheWay_);
    }
    if (blocked) {
        reportWriteFailure("the unreadable settings file " + file_.string() + " could not be moved aside");
        return false;
    }
    const std::string xml = snapshot.toXml();
    std::string error =
        xml.empty() ? "the settings have no property-list form" : writeFileAtomically(file_, xml, kFileMode);
    if (!error.empty()) {
        reportWriteFailure(error);
        return false;
    }
    std::lock_guard lock(mutex_);
    savedChangeCount_ = snapshotCount;
    failureReported_ = false;
    return true;
}

void UserDefaults::reportWriteFailure(const std::string& message) {
    std::function<void(const std::string&)> handler;
    {
        std::lock_guard lock(mutex_);
        if (failureReported_) return;
        failureReported_ = true;
        handler = failureHandler_;
    }
    const std::string text = "could not save the settings: " + message;
    std::fprintf(stderr, "velora: %s\n", text.c_str());
    if (handler) handler(text);
}

void UserDefaults::setWriteFailureHandler(std::function<void(const std::string& message)> handler) {
    std::lock_guard lock(mutex_);
    failureHandler_ = std::move(handler);
}

} // namespace velora
