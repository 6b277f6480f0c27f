// Stand-in for the script interpreter's interface until it is merged: no script runs, so
// none can set the quit flag.
#pragma once

namespace scripter {

inline bool QuitFlag() { return false; }

}  // namespace scripter
