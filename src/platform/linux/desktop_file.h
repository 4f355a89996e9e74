#pragma once
// Reading and writing files in the Desktop Entry format (.desktop files): groups in
// brackets, key=value lines, comments, and the escapes \s \n \t \r \\ of string values.
//
// Reading is lenient where files in the wild are sloppy: a line that is neither a group, a
// comment nor a key=value pair is skipped, an unknown escape is kept as written (so "\$" and
// "\;" survive for the layers that give them meaning), a repeated key keeps its first value,
// and a repeated group adds to the first.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace velora {

class DesktopFile {
  public:
    static DesktopFile parse(std::string_view text);
    // None when the file cannot be read or is implausibly large for a desktop entry.
    static std::optional<DesktopFile> load(const std::filesystem::path& file);

    bool hasGroup(std::string_view group) const;
    // The unescaped value; none when the key is absent.
    std::optional<std::string> value(std::string_view group, std::string_view key) const;
    // The value of key[locale] for the best match of the locale (lang_COUNTRY.ENCODING@MODIFIER,
    // tried as lang_COUNTRY@MODIFIER, lang_COUNTRY, lang@MODIFIER, lang), else the plain key.
    std::optional<std::string> localeValue(std::string_view group, std::string_view key,
                                           std::string_view locale) const;
    // "true" is true; anything else, or no key, is false.
    bool boolean(std::string_view group, std::string_view key) const;

  private:
    using Group = std::map<std::string, std::string, std::less<>>;
    std::map<std::string, Group, std::less<>> groups_;
};

// The locale that translated strings follow: LC_ALL, else LC_MESSAGES, else LANG.
std::string messagesLocale();

// Escapes a string value for writing: backslash, newline, tab, carriage return, and a
// leading space (which a reader would trim).
std::string escapeDesktopValue(std::string_view value);

} // namespace velora
