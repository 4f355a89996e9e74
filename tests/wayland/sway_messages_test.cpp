// sway's IPC as the backend reads it, and the hot keys as the bindings it writes.
#include <gtest/gtest.h>

#include <QPainter>

#include <utility>

#include "platform/virtual_keys.h"
#include "platform/wayland/sway_binding_sync.h"
#include "platform/wayland/sway_bindings.h"
#include "platform/wayland/sway_ipc.h"
#include "platform/wayland/wl_keys.h"
#include "platform/wayland/wl_screen_capture.h"

namespace velora::wl {
namespace {

// A trimmed get_tree reply of sway 1.7: an output with a tiled workspace holding a split with
// a foot window, a floating Xwayland window and the scratchpad's hidden window.
constexpr const char* kTree = R"({
  "id": 1, "type": "root", "name": "root", "nodes": [
    {"id": 2, "type": "output", "name": "__i3", "nodes": [
      {"id": 3, "type": "workspace", "name": "__i3_scratch", "num": -1, "nodes": [], "floating_nodes": [
        {"id": 9, "type": "floating_con", "pid": 400, "app_id": "pavucontrol", "name": "Volume",
         "visible": false, "focused": false, "rect": {"x": 0, "y": 0, "width": 10, "height": 10}}]}]},
    {"id": 4, "type": "output", "name": "HEADLESS-1", "nodes": [
      {"id": 5, "type": "workspace", "name": "2", "num": 2, "nodes": [
        {"id": 6, "type": "con", "name": null, "nodes": [
          {"id": 7, "type": "con", "pid": 100, "app_id": "foot", "name": "one", "visible": true,
           "focused": true, "rect": {"x": 0, "y": 25, "width": 640, "height": 695}, "nodes": []}]}],
       "floating_nodes": [
        {"id": 8, "type": "floating_con", "pid": 200, "app_id": null, "name": "xterm",
         "window_properties": {"class": "XTerm", "instance": "xterm"}, "visible": true,
         "focused": false, "rect": {"x": 100, "y": 120, "width": 484, "height": 316}, "nodes": []}]}]}]})";

TEST(SwayTree, ViewsCarryTheirContainerWorkspaceAndTheXwaylandClassForAMissingAppId) {
    const std::vector<SwayView> views = parseSwayTree(kTree);
    ASSERT_EQ(views.size(), 3u);
    EXPECT_EQ(views[0].workspace, -1); // the scratchpad: no workspace to switch to
    EXPECT_FALSE(views[0].visible);
    const SwayView& foot = views[1];
    // (its pid and rectangle are checked end to end: a switch and a window's picture)
    EXPECT_EQ(foot.conId, 7);
    EXPECT_EQ(foot.workspace, 2);
    EXPECT_TRUE(foot.focused);
    EXPECT_EQ(views[2].appId, "XTerm");
}

TEST(SwayOutputs, ActiveOutputsWithRectangleScaleAndFocus) {
    const auto outputs = parseSwayOutputs(R"([
        {"name": "HEADLESS-1", "active": true, "focused": false, "scale": 1.5,
         "rect": {"x": 0, "y": 0, "width": 1280, "height": 800}},
        {"name": "HEADLESS-2", "active": false, "rect": {"x": 0, "y": 0, "width": 0, "height": 0}},
        {"name": "DP-1", "active": true, "focused": true, "scale": 2.0,
         "rect": {"x": 1280, "y": 0, "width": 960, "height": 540}}])");
    ASSERT_EQ(outputs.size(), 2u);
    EXPECT_EQ(outputs[0].scale, 1.5);
    EXPECT_EQ(outputs[1].rect, (Rect{1280, 0, 960, 540}));
    EXPECT_TRUE(outputs[1].focused && !outputs[0].focused);
}

// A window's picture is its rectangle of the output's reading, in the reading's pixels (here
// twice the logical ones), at the size asked for; a window off the output has none.
TEST(WindowPictures, CutFromTheOutputByTheWindowsLogicalRectangle) {
    QImage output(400, 200, QImage::Format_RGB32);
    output.fill(Qt::red);
    QPainter(&output).fillRect(200, 0, 200, 200, Qt::blue);
    const Rect outputFrame{1000, 0, 200, 100};
    const QImage picture = cutWindow(output, outputFrame, Rect{1100, 0, 100, 100}, Size{50, 50});
    ASSERT_EQ(picture.size(), QSize(50, 50));
    EXPECT_EQ(picture.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(picture.pixel(49, 49), qRgb(0, 0, 255));
    EXPECT_TRUE(cutWindow(output, outputFrame, Rect{0, 0, 100, 100}, Size{50, 50}).isNull());
}

// The binding event's command comes from any binding of the user's too: only ours name a key.
TEST(SwayBindings, CommandsThatAreNotOursOrOutOfRangeNameNoKey) {
    for (const char* command : {"exec foot", "nop velora 900 1048576"})
        EXPECT_FALSE(keyOfBindingCommand(command)) << command;
    // A key no US keysym names cannot become a binding.
    EXPECT_FALSE(bindCommand(InterceptedKey{vk::Function, kEventFlagCommand, false}));
}

// sway runs a request's commands in order and stops at the first it cannot parse, with one
// result per command it ran.
TEST(SwayBindings, ARefusedBindingStaysUnboundAndWhatSwaySkippedAfterItIsSentAgain) {
    const InterceptedKey altTab{vk::Tab, kEventFlagCommand, false}, superF20{90, kEventFlagOption, false},
        ctrlW{vk::W, kEventFlagControl, false};
    // A sway that refuses Super+F20, the second of the first request's commands, and stops
    // there; it takes every other request (one command each, below).
    std::vector<std::string> requests;
    SwayBindingSync sync([&](const std::string& payload) -> std::optional<std::string> {
        requests.push_back(payload);
        if (payload.find(*bindCommand(superF20)) == std::string::npos) return R"([{"success": true}])";
        return R"([{"success": true}, {"success": false, "parse_error": true, "error": "Unknown key"}])";
    });
    const TapHub::Refusal refusal = sync.apply({altTab, superF20, ctrlW});
    EXPECT_EQ(refusal.keys, std::vector<InterceptedKey>{superF20});
    EXPECT_EQ(refusal.reason, "Unknown key");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1], *bindCommand(ctrlW) + ";"); // skipped by sway, sent again
    requests.clear();
    // Going back to Alt+Tab alone unbinds Ctrl+W, never the key sway did not bind.
    EXPECT_TRUE(sync.apply({altTab}).keys.empty());
    EXPECT_EQ(requests, std::vector<std::string>{*unbindCommand(ctrlW) + ";"});
}

// A virtual keyboard numbers its keys as it likes (code 200 may show anything): keys are their
// US symbol, both ways (checked against xkb's own names).
TEST(ForeignKeymap, KeysAreTheirSymbolOnAUsLayoutWhateverTheirCode) {
    const std::pair<int64_t, xkb_keysym_t> keys[] = {
        {vk::Escape, XKB_KEY_Escape}, {vk::W, XKB_KEY_w}, {vk::Grave, XKB_KEY_grave}};
    for (auto [code, sym] : keys) {
        char name[64] = {};
        xkb_keysym_get_name(sym, name, sizeof name);
        EXPECT_EQ(keysymNameOfVirtualKey(code), std::string(name)) << code;
        EXPECT_EQ(virtualKeyOf(200, sym), code) << name;
    }
    EXPECT_EQ(virtualKeyOf(200, XKB_KEY_W), vk::W);
    // A symbol without a US key falls back to the key's position (evdev code + 8: 9 is Escape).
    EXPECT_EQ(virtualKeyOf(9, XKB_KEY_eacute), vk::Escape);
}

} // namespace
} // namespace velora::wl
