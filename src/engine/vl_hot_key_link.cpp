#include "engine/vl_hot_key_link.h"

namespace velora {

namespace {

class CenterLink final : public VLHotKeyLink {
  public:
    void setDelegate(SGHotKeyCenterDelegate* delegate) override {
        SGHotKeyCenter::sharedCenter().setDelegate(delegate);
    }
    void registerHotKey(const SGHotKeyRef& hotKey) override {
        SGHotKeyCenter::sharedCenter().registerHotKey(hotKey);
    }
    void unregisterHotKey(const SGHotKeyRef& hotKey) override {
        SGHotKeyCenter::sharedCenter().unregisterHotKey(hotKey);
    }
    void setCommandKeys(std::vector<int64_t> keyCodes) override {
        SGHotKeyCenter::sharedCenter().setCommandKeys(std::move(keyCodes));
    }
};

} // namespace

VLHotKeyLink& VLHotKeyLink::sharedCenter() {
    static CenterLink link;
    return link;
}

} // namespace velora
