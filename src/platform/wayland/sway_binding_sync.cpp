#include "platform/wayland/sway_binding_sync.h"

#include <algorithm>

#include "platform/wayland/sway_bindings.h"
#include "platform/wayland/sway_ipc.h"

namespace velora::wl {

TapHub::Refusal SwayBindingSync::apply(const std::vector<InterceptedKey>& keys) {
    struct Command {
        std::string text;
        std::optional<InterceptedKey> binds; // none for an unbinding
    };
    std::vector<Command> pending;
    for (const InterceptedKey& key : bound_)
        if (std::find(keys.begin(), keys.end(), key) == keys.end())
            if (auto c = unbindCommand(key)) pending.push_back({*c, std::nullopt});
    for (const InterceptedKey& key : keys)
        if (std::find(bound_.begin(), bound_.end(), key) == bound_.end())
            if (auto c = bindCommand(key)) pending.push_back({*c, key});
    bound_ = keys;
    TapHub::Refusal refusal;
    while (!pending.empty()) {
        std::string payload;
        for (const Command& command : pending)
            payload += command.text + ";";
        const std::optional<std::string> reply = request_(payload);
        const std::vector<SwayCommandResult> results =
            reply ? parseCommandResults(*reply) : std::vector<SwayCommandResult>{};
        // No answer to read: sway is gone or said nothing useful; nothing more to learn.
        if (results.empty()) break;
        const std::size_t done = std::min(results.size(), pending.size());
        for (std::size_t i = 0; i < done; ++i) {
            if (results[i].success || !pending[i].binds) continue;
            refusal.keys.push_back(*pending[i].binds);
            if (refusal.reason.empty()) refusal.reason = results[i].error;
            std::erase(bound_, *pending[i].binds);
        }
        pending.erase(pending.begin(), pending.begin() + std::ptrdiff_t(done));
    }
    return refusal;
}

} // namespace velora::wl
