#pragma once
// What the switch panel asks of the switch session that owns it (the engine, VLHandler):
// ending the switch, dropping its temporary keys, the application rule, the application to
// return to on a cancel, the picture queue and the identifier counter. The panel library
// sits below the engine, so it reaches the engine only through this interface; tests give
// the panel a recording session.

#include "base/operation_queue.h"
#include "platform/workspace.h"

namespace velora {

class PanelSession {
  public:
    virtual ~PanelSession() = default;

    // Ends the switch on the selected item (a double click, a drag held over the selection).
    virtual void endHandling() = 0;
    // The switch's keys stop acting (a drop of files in the application mode).
    virtual void unregisterHotkeys() = 0;
    // The switch has ended without endHandling (a drop of files): nothing still pending for
    // it may act any more.
    virtual void switchEnded() = 0;
    // Whether a running application may appear in a switch.
    virtual bool shouldShowApp(const RunningApplicationRef& app) = 0;
    // The application that was in front when the panel came up; a cancel returns to it.
    virtual void setPreviouslyActive(RunningApplicationRef app) = 0;
    // The queue of the window pictures; cancelled at every end of a switch.
    virtual OperationQueue& queue() = 0;
    // A new number at every call (1.0, 2.0, ...), for the cells' image identifiers.
    virtual double nextID() = 0;
};

} // namespace velora
