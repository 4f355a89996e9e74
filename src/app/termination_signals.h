#pragma once
// SIGTERM, SIGINT and SIGHUP (a session that ends, a kill, Ctrl-C in a terminal) end the
// program through its event loop, as "Quit" does, so that it ends its switch, lets go of
// its keys and writes its settings instead of dying in the middle.
//
// The handler only writes a byte to a pipe (all a signal handler may safely do); a socket
// notifier on the main thread reads it and quits the event loop with status 0.
namespace velora {

// Main thread, once, after the application object exists.
void quitOnTerminationSignals();

} // namespace velora
