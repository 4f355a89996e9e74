#include "app/trigger_client.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "app/instance_socket.h"
#include "hotkeys/hot_key_triggers.h"

namespace velora {

namespace {

constexpr int kAnswerTimeoutMs = 2000;

std::string triggerNames() {
    std::string names;
    for (const HotKeyTrigger& trigger : kHotKeyTriggers) {
        if (!names.empty()) names += ", ";
        names += trigger.name;
    }
    return names;
}

int fail(int status, const std::string& message) {
    std::fprintf(stderr, "velora: %s\n", message.c_str());
    return status;
}

} // namespace

std::optional<int> runTriggerIfAsked(int argc, char** argv) {
    constexpr std::string_view option = "--trigger";
    std::optional<std::string_view> name;
    bool asked = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == option) {
            asked = true;
            if (i + 1 < argc) name = argv[i + 1];
        } else if (argument.starts_with("--trigger=")) {
            asked = true;
            name = argument.substr(option.size() + 1);
        }
    }
    if (!asked) return std::nullopt;
    const int expected = argc > 1 && std::string_view(argv[1]) == option ? 3 : 2;
    if (!name || name->empty() || argc != expected)
        return fail(2, "--trigger takes one hot key name: " + triggerNames());
    if (!hotKeyOfTriggerName(*name))
        return fail(2,
                    "unknown hot key '" + std::string(*name) + "' for --trigger; one of: " + triggerNames());

    const std::string display = instanceDisplayTag();
    if (display.empty()) return fail(1, "no desktop (neither WAYLAND_DISPLAY nor DISPLAY is set)");
    const auto reply = askRunningInstance(
        instanceSocketPath(display), std::string(kTriggerRequest) + std::string(*name), kAnswerTimeoutMs);
    if (!reply) return fail(1, "no velora runs on this display (" + display + "); start velora first");
    if (reply->answer == kAnswerOk) return 0;
    if (reply->answer.starts_with(kAnswerError)) return fail(1, reply->answer.substr(kAnswerError.size()));
    return fail(1, "the running velora did not take the trigger (a version without --trigger? restart it)");
}

} // namespace velora
