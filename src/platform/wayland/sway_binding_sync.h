#pragma once
// Keeps sway's bindings equal to the hot keys: binds what is new, unbinds what went, through
// run_command requests. sway runs a request's commands in order and stops at the first it
// cannot parse (an unknown key: the reply then ends with that command's result), so what
// follows it is sent again; other failures (an unbinding of a binding that is gone) do not
// stop the rest. A key sway refuses to bind stays unbound (unbinding it
// later would remove a binding of the user's configuration) and is tried again at the next
// change.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/input.h"
#include "platform/wayland/wl_event_tap.h"

namespace velora::wl {

class SwayBindingSync {
  public:
    // Sends a run_command payload and answers sway's reply; none when sway cannot be reached.
    using Request = std::function<std::optional<std::string>(const std::string& commands)>;
    explicit SwayBindingSync(Request request) : request_(std::move(request)) {}

    // Binds the keys, unbinding those bound before and not among them. Answers the refused.
    TapHub::Refusal apply(const std::vector<InterceptedKey>& keys);
    // sway dropped every binding (a configuration reload).
    void forget() { bound_.clear(); }

  private:
    Request request_;
    std::vector<InterceptedKey> bound_; // touched under the hub's binding lock only
};

} // namespace velora::wl
