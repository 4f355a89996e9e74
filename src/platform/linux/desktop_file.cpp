#include "platform/linux/desktop_file.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace velora {

namespace {

constexpr std::uintmax_t kMaxFileBytes = 1 << 20;

std::string_view trimSpaces(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::string unescape(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c != '\\' || i + 1 == raw.size()) {
            out += c;
            continue;
        }
        char next = raw[++i];
        switch (next) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            out += '\\';
            out += next;
        }
    }
    return out;
}

// A group name: brackets around text without brackets or control characters.
std::optional<std::string_view> groupHeader(std::string_view line) {
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') return std::nullopt;
    std::string_view name = line.substr(1, line.size() - 2);
    for (unsigned char c : name)
        if (c == '[' || c == ']' || c < 0x20 || c == 0x7f) return std::nullopt;
    return name;
}

// lang_COUNTRY.ENCODING@MODIFIER split into its parts; the encoding is dropped.
std::vector<std::string> localeCandidates(std::string_view locale) {
    std::string_view modifier;
    if (auto at = locale.find('@'); at != std::string_view::npos) {
        modifier = locale.substr(at + 1);
        locale = locale.substr(0, at);
    }
    if (auto dot = locale.find('.'); dot != std::string_view::npos) locale = locale.substr(0, dot);
    std::string_view lang = locale, country;
    if (auto underscore = locale.find('_'); underscore != std::string_view::npos) {
        lang = locale.substr(0, underscore);
        country = locale.substr(underscore + 1);
    }
    std::vector<std::string> out;
    if (lang.empty() || lang == "C" || lang == "POSIX") return out;
    std::string l(lang), c(country), m(modifier);
    if (!c.empty() && !m.empty()) out.push_back(l + "_" + c + "@" + m);
    if (!c.empty()) out.push_back(l + "_" + c);
    if (!m.empty()) out.push_back(l + "@" + m);
    out.push_back(l);
    return out;
}

} // namespace

DesktopFile DesktopFile::parse(std::string_view text) {
    DesktopFile file;
    Group* current = nullptr;
    while (!text.empty()) {
        auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        std::string_view trimmed = trimSpaces(line);
        if (trimmed.empty() || trimmed.front() == '#') continue;
        if (auto name = groupHeader(trimmed)) {
            current = &file.groups_[std::string(*name)];
            continue;
        }
        auto equals = line.find('=');
        if (!current || equals == std::string_view::npos) continue;
        std::string_view key = trimSpaces(line.substr(0, equals));
        // Only the spaces right after '=' belong to the syntax; trailing ones are kept.
        std::string_view raw = line.substr(equals + 1);
        while (!raw.empty() && (raw.front() == ' ' || raw.front() == '\t'))
            raw.remove_prefix(1);
        if (key.empty()) continue;
        current->emplace(std::string(key), unescape(raw));
    }
    return file;
}

std::optional<DesktopFile> DesktopFile::load(const std::filesystem::path& path) {
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxFileBytes) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return parse(text);
}

bool DesktopFile::hasGroup(std::string_view group) const {
    return groups_.find(group) != groups_.end();
}

std::optional<std::string> DesktopFile::value(std::string_view group, std::string_view key) const {
    auto g = groups_.find(group);
    if (g == groups_.end()) return std::nullopt;
    auto k = g->second.find(key);
    if (k == g->second.end()) return std::nullopt;
    return k->second;
}

std::optional<std::string> DesktopFile::localeValue(std::string_view group, std::string_view key,
                                                    std::string_view locale) const {
    for (const auto& candidate : localeCandidates(locale)) {
        std::string localised(key);
        localised += '[';
        localised += candidate;
        localised += ']';
        if (auto v = value(group, localised)) return v;
    }
    return value(group, key);
}

bool DesktopFile::boolean(std::string_view group, std::string_view key) const {
    auto v = value(group, key);
    return v && *v == "true";
}

std::string messagesLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (v && *v) return v;
    }
    return {};
}

std::string escapeDesktopValue(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 8);
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case ' ':
            out += i == 0 ? "\\s" : " ";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace velora
