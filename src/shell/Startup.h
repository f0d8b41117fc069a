#pragma once

#include "platform/core/TerminationSignals.h"

#include <QByteArray>

#include <memory>

namespace somnex {

// The program's entry: the version check, the hand-over to a running
// instance, then the start in the tray or with the splash screen.
int Main(int argc, char **argv);

class Form1;
class SingleInstance;

// What a later start asks of the running program: to come to the front
// (with its launcher's token), to take book files, to open the diary on a
// new dream (somnex --new-dream).
void AnswerLaterStarts(SingleInstance &instance, Form1 &form);

// The end of the desktop session (logout, shutdown: the session manager's
// request to save, the application quitting) stores the user's state as the
// orderly exit does, once; SIGTERM and SIGHUP run the orderly exit. The
// signals are watched while the returned object lives.
std::unique_ptr<TerminationSignals> WatchSessionEnd();

} // namespace somnex
