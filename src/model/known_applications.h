#pragma once
// Applications the window model and the engine recognise by bundle identifier.

namespace velora {

// Level 4 ("TotalFinder") by default; matched also 28 points lower; never quit by the panel.
inline constexpr const char* kFinderBundle = "com.apple.finder";
// Matched with its own offsets, title ignored, and matched again at every showing.
inline constexpr const char* kIllustratorBundle = "com.adobe.illustrator";
// A window is shown only while minimised, hidden or on one of the spaces 1 to 16.
inline constexpr const char* kITunesBundle = "com.apple.iTunes";
// No re-open request while it has an open window.
inline constexpr const char* kMailBundle = "com.apple.mail";

} // namespace velora
