#pragma once
// A scriptable keyboard layout for the simulated desktop's input port.

#include <map>
#include <memory>
#include <string>

#include "platform/input.h"

namespace velora::test {

// Key code to the UTF-16 text it shows. Key 50 is a dead grave accent: it produces nothing
// and turns the next 'a' (key 0) into 'à'.
class FakeLayout : public KeyboardLayout {
  public:
    FakeLayout(std::string id, std::map<uint16_t, std::u16string> keys)
        : id_(std::move(id)), keys_(std::move(keys)) {}
    std::string identifier() const override { return id_; }
    std::u16string translate(uint16_t keyCode, uint32_t, uint32_t& deadKeyState) const override {
        if (keyCode == 50) {
            deadKeyState = 1;
            return {};
        }
        if (deadKeyState == 1 && keyCode == 0) {
            deadKeyState = 0;
            return u"\u00E0";
        }
        deadKeyState = 0;
        const auto it = keys_.find(keyCode);
        return it == keys_.end() ? std::u16string() : it->second;
    }

  private:
    std::string id_;
    std::map<uint16_t, std::u16string> keys_;
};

// A US-like layout: letters, punctuation, a keypad digit and sign, characters beyond ASCII.
inline std::shared_ptr<FakeLayout> usLayout(std::string id = "us") {
    return std::make_shared<FakeLayout>(std::move(id),
                                        std::map<uint16_t, std::u16string>{{0, u"a"},
                                                                           {11, u"b"},
                                                                           {41, u";"},
                                                                           {67, u"*"},
                                                                           {83, u"1"},
                                                                           {10, u"\u00A7"},
                                                                           {12, u"\u00DF"},
                                                                           {13, u"\U0001F600"}});
}

} // namespace velora::test
