#pragma once
// The accessibility vocabulary used by the system.

namespace velora::ax {

inline constexpr const char* Title = "AXTitle";
inline constexpr const char* Role = "AXRole";
inline constexpr const char* Subrole = "AXSubrole";
inline constexpr const char* Position = "AXPosition";
inline constexpr const char* SizeAttr = "AXSize";
inline constexpr const char* Minimized = "AXMinimized";
inline constexpr const char* Children = "AXChildren";
inline constexpr const char* Document = "AXDocument";
inline constexpr const char* CloseButton = "AXCloseButton";
inline constexpr const char* MinimizeButton = "AXMinimizeButton";
inline constexpr const char* Enabled = "AXEnabled";
inline constexpr const char* Frontmost = "AXFrontmost";
inline constexpr const char* Focused = "AXFocused";
inline constexpr const char* FocusedApplication = "AXFocusedApplication";
inline constexpr const char* FocusedWindow = "AXFocusedWindow";
inline constexpr const char* Windows = "AXWindows";

inline constexpr const char* RoleWindow = "AXWindow";
inline constexpr const char* RoleButton = "AXButton";
inline constexpr const char* SubroleStandardWindow = "AXStandardWindow";
inline constexpr const char* SubroleDialog = "AXDialog";
inline constexpr const char* SubroleSystemDialog = "AXSystemDialog";
inline constexpr const char* SubroleFloatingWindow = "AXFloatingWindow";
inline constexpr const char* SubroleSystemFloatingWindow = "AXSystemFloatingWindow";
inline constexpr const char* SubroleUnknown = "AXUnknown";

inline constexpr const char* ActionPress = "AXPress";
inline constexpr const char* ActionRaise = "AXRaise";

inline constexpr const char* WindowCreated = "AXWindowCreated";
inline constexpr const char* ElementDestroyed = "AXUIElementDestroyed";

} // namespace velora::ax
