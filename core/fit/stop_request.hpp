#pragma once
// A caller's way to stop a long computation of the fitting code between two
// of its stages: a plain function, so that the core knows nothing of what
// decides (an interpreter's pending signal, a deadline). It returns true to
// stop; a null pointer never stops.

namespace nivaltus::fit {

using StopRequest = bool (*)();

inline bool stop_requested(StopRequest stop) { return stop != nullptr && stop(); }

}  // namespace nivaltus::fit
