#pragma once

#include "platform/core/TerminationSignals.h"

#include <memory>

namespace somnex {

// The program's entry: the version check, the hand-over to a running
// instance, then the start in the tray or with the splash screen.
int Main(int argc, char **argv);

// The end of the desktop session (logout, shutdown: the session manager's
// request to save, the application quitting) stores the user's state as the
// orderly exit does, once; SIGTERM and SIGHUP run the orderly exit. The
// signals are watched while the returned object lives.
std::unique_ptr<TerminationSignals> WatchSessionEnd();

} // namespace somnex
