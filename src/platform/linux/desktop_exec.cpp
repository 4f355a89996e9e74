#include "platform/linux/desktop_exec.h"

namespace velora {

namespace {

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

bool needsEscapeInQuotes(char c) {
    return c == '"' || c == '`' || c == '$' || c == '\\';
}

} // namespace

std::optional<std::vector<std::string>> splitExec(std::string_view exec) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (size_t i = 0; i < exec.size(); ++i) {
        char c = exec[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (i + 1 < exec.size() && ((c == '\\' && needsEscapeInQuotes(exec[i + 1])) ||
                                               (c == '%' && exec[i + 1] == '%'))) {
                // An escaped character, or "%%" for a literal percent sign.
                word += exec[++i];
            } else {
                word += c;
            }
            continue;
        }
        if (isSeparator(c)) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '"') {
            quoted = true;
        } else if (c == '%' && i + 1 < exec.size() && exec[i + 1] == '%') {
            word += exec[++i];
        } else {
            word += c;
        }
    }
    if (quoted) return std::nullopt;
    if (inWord) words.push_back(std::move(word));
    return words;
}

std::string quoteExecArgument(std::string_view argument) {
    std::string out = "\"";
    for (char c : argument) {
        if (needsEscapeInQuotes(c)) out += '\\';
        if (c == '%') out += '%';
        out += c;
    }
    out += '"';
    return out;
}

} // namespace velora
