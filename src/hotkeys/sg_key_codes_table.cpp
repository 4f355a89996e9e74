#include "hotkeys/sg_key_codes_table.h"

#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <string>

// The table is compiled into this static library; registering it by name keeps the linker
// from dropping it.
static void registerKeyCodesResource() {
    Q_INIT_RESOURCE(sg_key_codes);
}

namespace velora {

namespace {

[[noreturn]] void assertionFailure(const std::string& description) {
    std::fprintf(stderr, "velora: internal assertion failure: %s\n", description.c_str());
    std::abort();
}

} // namespace

std::optional<PlistValue> parseKeyCodesTable(std::string_view text, std::string* error) {
    std::string reason;
    std::optional<PlistValue> table = PlistValue::fromXml(text, &reason);
    if (!table)
        reason = "SGKeyCodes is not a property list: " + reason;
    else if (!table->asDictionary())
        reason = "SGKeyCodes is not a dictionary";
    if (!reason.empty()) {
        if (error) *error = reason;
        return std::nullopt;
    }
    return table;
}

PlistValue readKeyCodesTable(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) assertionFailure("Contents of SGKeyCodes is nil");
    const QByteArray text = file.readAll();
    std::string error;
    std::optional<PlistValue> table =
        parseKeyCodesTable(std::string_view(text.constData(), static_cast<size_t>(text.size())), &error);
    if (!table) assertionFailure(error);
    return *table;
}

const PlistValue& keyCodesTable() {
    static const PlistValue table = [] {
        registerKeyCodesResource();
        return readKeyCodesTable(QString::fromLatin1(kKeyCodesResource));
    }();
    return table;
}

} // namespace velora
