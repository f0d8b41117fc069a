#pragma once

namespace somnex {

// The program's entry: the version check, the hand-over to a running
// instance, then the start in the tray or with the splash screen.
int Main(int argc, char **argv);

} // namespace somnex
