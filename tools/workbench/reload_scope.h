// What a reload changes of the run: comparing the demo before and after an edit, item by
// item, says whether only scripts and clips changed (the content built at start-up stays,
// and so does the run on the current context) and from which demo time on the frames may
// run differently. Pure: two demo files in, a time out.
#pragma once
#include <cstdint>

#include "demo/demo_file.h"

namespace tools {

struct ReloadScope {
    // Textures, models, paths, variable counts and music are the same: start-up would build
    // the same content, so the run on the current context can go on with the new tables.
    bool sameContent = false;
    // The first demo time whose frame may differ (INT32_MAX: none; the picture is the same).
    int32_t firstChangedMs = 0;
};

// A script counts as changed when its bytes did, or when it may CALL a changed one (PUSHI k
// CALL calls k; a CALL of a computed index may call any). A changed script changes the run
// from the earliest start of a clip that runs it. A clip added, removed or changed changes
// the run from the earliest start of any clip on its track, before or after: which clip a
// track runs depends on the ends of all its clips.
ReloadScope CompareForReload(const demo::DemoFile& before, const demo::DemoFile& after);

}  // namespace tools
