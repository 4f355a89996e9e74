#pragma once
// The login items as XDG autostart entries: the .desktop files in $XDG_CONFIG_HOME/autostart
// (~/.config/autostart), which the session starts at log-in.
//
// - snapshot(): every *.desktop file there, ordered by file name; id = the file name,
//   resolved = the absolute path of the program its Exec starts (first word, unquoted; a bare
//   name looked up in PATH), none when it has no Exec or the program cannot be found.
// - insert(): our entry is velora.desktop, or velora-2.desktop, velora-3.desktop... when the
//   earlier names belong to other programs. An entry of ours already there for the same
//   program is rewritten instead of adding a second one. The file is written atomically
//   (temporary file, then rename). A path that is not valid UTF-8 cannot be written into a
//   desktop entry faithfully and is refused.
// - remove(): deletes that one file; ids that are not plain .desktop file names are refused.
//
// The directory is read from the environment at each call.

#include <filesystem>
#include <mutex>

#include "platform/services.h"

namespace velora {

class XdgAutostart final : public LoginItemsPort {
  public:
    std::vector<LoginItem> snapshot() override;
    bool insert(const std::string& programPath) override;
    bool remove(const std::string& id) override;

    static std::filesystem::path directory();

  private:
    std::mutex mutex_; // one change at a time
};

} // namespace velora
