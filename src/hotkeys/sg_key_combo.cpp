#include "hotkeys/sg_key_combo.h"

#include <QCoreApplication>
#include <QString>
#include <algorithm>
#include <cstdio>

#include "hotkeys/sg_key_code_translator.h"
#include "hotkeys/sg_key_codes_table.h"
#include "platform/input.h"

namespace velora {

namespace {

struct ModifierGlyph {
    int64_t modifier;
    uint64_t eventFlag;
    const char* glyph;
};

// In the order the glyphs are written.
constexpr ModifierGlyph kModifierGlyphs[] = {
    {kCommandKeyModifier, kEventFlagCommand, "\u2318"},
    {kOptionKeyModifier, kEventFlagOption, "\u2325"},
    {kControlKeyModifier, kEventFlagControl, "\u2303"},
    {kShiftKeyModifier, kEventFlagShift, "\u21E7"},
};

int64_t storedNumber(const PlistValue& entry) {
    const int64_t value = entry.toInteger();
    return value < 0 ? -1 : value;
}

} // namespace

SGKeyCombo::SGKeyCombo(const PlistValue& plistRepresentation) {
    const PlistValue::Dictionary* stored = plistRepresentation.asDictionary();
    if (!stored || stored->empty()) return;
    keyCode_ = storedNumber(plistRepresentation["keyCode"]);
    modifiers_ = storedNumber(plistRepresentation["modifiers"]);
}

PlistValue SGKeyCombo::plistRepresentation() const {
    return PlistValue(PlistValue::Dictionary{{"keyCode", keyCode_}, {"modifiers", modifiers_}});
}

uint64_t SGKeyCombo::modifierMask() const {
    if (isClearCombo()) return 0;
    uint64_t mask = 0;
    for (const ModifierGlyph& m : kModifierGlyphs)
        if (modifiers_ & m.modifier) mask |= m.eventFlag;
    return mask;
}

std::string SGKeyCombo::keyCodeString() const {
    if (isClearCombo()) return {};
    return stringForKeyCode(static_cast<int16_t>(keyCode_));
}

std::string SGKeyCombo::description() const {
    if (!isValidHotKeyCombo()) return QCoreApplication::translate("SGKeyCombo", "(None)").toStdString();
    return stringForModifiers(modifiers_) + keyCodeString();
}

std::string SGKeyCombo::stringForModifiers(int64_t modifiers) {
    std::string glyphs;
    for (const ModifierGlyph& m : kModifierGlyphs)
        if (modifiers & m.modifier) glyphs += m.glyph;
    return glyphs;
}

const PlistValue& SGKeyCombo::keyCodesDictionary() {
    return keyCodesTable();
}

std::string SGKeyCombo::stringForKeyCode(int16_t keyCode) {
    const PlistValue& table = keyCodesDictionary();
    if (table["version"].toInteger() > 0) return stringForKeyCodeInNewMap(keyCode, table);
    return stringForKeyCodeInLegacyMap(keyCode, table);
}

std::string SGKeyCombo::stringForKeyCodeInLegacyMap(int16_t keyCode, const PlistValue& legacyKeyCodeMap) {
    if (const std::string* name = legacyKeyCodeMap[std::to_string(keyCode)].asString()) return *name;
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(static_cast<int>(keyCode)));
    return hex;
}

std::string SGKeyCombo::stringForKeyCodeInNewMap(int16_t keyCode, const PlistValue& newKeyCodeMap) {
    const std::string key = std::to_string(keyCode);
    if (const std::string* name = newKeyCodeMap["unmappedKeys"][key].asString()) return *name;

    std::string character;
    if (const auto translator = SGKeyCodeTranslator::currentTranslator())
        character = QString::fromStdString(translator->translateKeyCode(keyCode)).toUpper().toStdString();

    const PlistValue::Array* padKeys = newKeyCodeMap["padKeys"].asArray();
    const bool isPadKey = padKeys && std::any_of(padKeys->begin(), padKeys->end(), [&](const PlistValue& k) {
                              return k.asString() && *k.asString() == key;
                          });
    if (!isPadKey) return character;
    const std::string* prefix = newKeyCodeMap["padKeyString"].asString();
    return (prefix ? *prefix : std::string()) + " " + character;
}

} // namespace velora
