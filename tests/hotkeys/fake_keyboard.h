#pragma once
// A desktop whose only port is input with a scriptable keyboard layout.

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/input.h"
#include "platform/platform.h"

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

class FakeInput : public InputPort {
  public:
    uint64_t currentModifierFlags() override { return 0; }
    std::unique_ptr<EventTap> createEventTap(EventTapCallback) override { return nullptr; }
    std::shared_ptr<const KeyboardLayout> currentKeyboardLayout() override {
        std::lock_guard lock(mutex_);
        return layout_;
    }
    bool isKeyHeldElsewhere(const InterceptedKey&) override { return false; }
    KeyHolder keyHolder() override { return {}; }
    bool pressKeyFromBinding(const InterceptedKey&) override { return false; }
    void setLayout(std::shared_ptr<const KeyboardLayout> layout) {
        std::lock_guard lock(mutex_);
        layout_ = std::move(layout);
    }

  private:
    std::mutex mutex_;
    std::shared_ptr<const KeyboardLayout> layout_;
};

// A US-like layout: letters, punctuation, a keypad digit and sign, characters beyond ASCII.
inline std::shared_ptr<FakeLayout> usLayout(std::string id = "us") {
    return std::make_shared<FakeLayout>(std::move(id),
                                        std::map<uint16_t, std::u16string>{{0, u"a"},
                                                                           {1, u"s"},
                                                                           {11, u"b"},
                                                                           {41, u";"},
                                                                           {67, u"*"},
                                                                           {83, u"1"},
                                                                           {84, u"2"},
                                                                           {10, u"\u00A7"},
                                                                           {12, u"\u00DF"},
                                                                           {13, u"\U0001F600"}});
}

// Installs a platform with the fake input port for the test's span.
class FakeDesktop {
  public:
    FakeDesktop() {
        ports_.input = &input;
        installPlatform(&ports_);
    }
    ~FakeDesktop() { installPlatform(nullptr); }
    FakeDesktop(const FakeDesktop&) = delete;
    FakeDesktop& operator=(const FakeDesktop&) = delete;

    FakeInput input;

  private:
    Platform ports_;
};

} // namespace velora::test
