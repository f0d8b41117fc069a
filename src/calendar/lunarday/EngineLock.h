#pragma once
// The lock every computation with the astronomy engine runs under: the
// engine (and libnova beside it) keeps the observer and working values in
// globals, so computations run one at a time, whichever thread asks (the
// calendar's worker, the diary's, a command-line batch). Recursive: the
// public functions of this folder call one another. No window event ever
// runs while it is held: the engine's searches do not let events through.

#include <mutex>

namespace somnex::calendar {

std::recursive_mutex &engineLock();
using EngineGuard = std::lock_guard<std::recursive_mutex>;

} // namespace somnex::calendar
