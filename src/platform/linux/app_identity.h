#pragma once
// Who an application is. A window's class (WM_CLASS on X11, the app_id on Wayland) names
// its program; when a desktop entry matches it, the entry's id is the application's bundle identifier and the
// entry gives the name, icon and location. Otherwise the class name as the client wrote it ("XTerm",
// "XClock") is both identifier and name.

#include <optional>
#include <string>

#include "platform/workspace.h"

namespace velora {

struct AppIdentity {
    std::string bundleIdentifier;
    std::string name;
    std::string bundlePath; // the desktop entry's file; empty without one
    std::string iconName;   // the entry's icon, else the instance name
    std::string exec;       // the entry's Exec value
};

AppIdentity identifyApplication(const std::string& instance, const std::string& className);

// What the desktop entry with that id (with or without ".desktop") says about itself.
std::optional<ApplicationBundleInfo> bundleInfoOfEntry(const std::string& id);

} // namespace velora
