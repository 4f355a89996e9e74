#pragma once
// Showing files in the desktop's file viewer and opening them with their default
// application, through the freedesktop interfaces (never a shell).
//
// Revealing asks the file manager over the session bus (org.freedesktop.FileManager1.ShowItems)
// to show the item selected; when no file manager answers, it opens the containing folder
// instead.

#include <string>

namespace velora {

// Returns at once; the D-Bus request and any fallback run on a short-lived thread of their
// own, so the caller (usually the main thread) never waits for a file manager to start.
// False only when the path is empty.
bool revealInFileViewer(const std::string& path);

// The same, waiting: true when the file manager took the request or the folder was opened.
bool revealInFileViewerAndWait(const std::string& path);

// Opens the file with the desktop's default application (xdg-open, else gio open). True
// when the opener started.
bool openWithDefaultApplication(const std::string& path);

} // namespace velora
