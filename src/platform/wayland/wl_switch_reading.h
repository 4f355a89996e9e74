#pragma once
// What sway's IPC said when a switch began. The event thread reads the tree (joined into the
// window table) and the outputs once, right after the switch's first key has gone out, for
// the pictures; the switch's first window list and the placing of its panel use that reading
// instead of asking again. The tree serves one window list (later ones, at later moments,
// read it again); the outputs serve the whole switch (its panel belongs on the output
// focused when it began). Nothing is served once the switch has ended.

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>

namespace velora::wl {

class SwitchReading {
  public:
    // Event thread: a switch begins; its reading is under way.
    void begin();
    // Event thread: the window table holds the tree read for the switch; the get_outputs
    // reply, none when the IPC did not answer.
    void done(std::optional<std::string> outputs);
    // The switch has ended.
    void end();

    // Any thread. True, once per switch, when the table holds the tree read at its start
    // (waiting for a reading under way); false when the caller must read the tree itself.
    bool takeTree();
    // Any thread. The get_outputs reply read at the start of the switch running now (waiting
    // for a reading under way); none outside a switch.
    std::optional<std::string> outputs();

  private:
    enum class State { None, Reading, Ready };
    void waitLocked(std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable done_;
    State state_ = State::None;
    bool treeTaken_ = false;
    std::optional<std::string> outputs_;
};

} // namespace velora::wl
