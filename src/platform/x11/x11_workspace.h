#pragma once
// Workspace port of the X11 desktop: the running applications are the processes owning
// managed windows (X11RunningApplication); front to back is the active application first,
// then the others by their frontmost window. Programs start without a shell; files open
// with the given program or the desktop's default one; revealing goes to the file viewer.

#include <memory>

#include "platform/linux/linux_workspace.h"

namespace velora::x11 {

struct X11Context;

class X11Workspace final : public LinuxWorkspace {
  public:
    explicit X11Workspace(std::shared_ptr<X11Context> context) : x_(std::move(context)) {}

    std::vector<RunningApplicationRef> runningApplications() override;
    RunningApplicationRef runningApplicationWithProcessIdentifier(pid_t pid) override;
    std::vector<pid_t> processesInFrontToBackOrder() override;
    void addObserver(WorkspaceObserver* observer) override;
    void removeObserver(WorkspaceObserver* observer) override;

  private:
    std::shared_ptr<X11Context> x_;
};

} // namespace velora::x11
