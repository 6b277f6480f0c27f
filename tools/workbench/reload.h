// When `qv play` reloads: which changed files count, and the debounce that waits until an
// editor has finished writing. Pure: times are arguments (ms of a steady clock).
#pragma once
#include <set>
#include <string>

namespace tools {

// A file whose change means a reload: the source or demo file, the music, or anything in the
// demo's own data folder (images, OBJ files; "data" in any case, as the player resolves
// names), but editors' backups and hidden files. The data folder itself coming or going
// counts too; a file in some other folder named data does not.
bool MattersForReload(const std::string& changed, const std::string& demoPath,
                      const std::string& musicFile);

// Editors write a file in several steps: a reload waits until the files have been quiet for
// kReloadQuietMs and every file written to has been closed by its writer. A writer that
// keeps a file open (or writes through a mapping) is given kReloadOpenWriterMs.
inline constexpr double kReloadQuietMs = 30;
inline constexpr double kReloadOpenWriterMs = 2000;

struct ReloadDebounce {
    bool pending = false;
    double lastChangeMs = 0;
    std::set<std::string> openFiles;  // written to and not closed yet
};

// A change that counts, seen at nowMs; settled false while its writer still holds it open.
void NoteChange(ReloadDebounce& d, double nowMs, const std::string& path = {}, bool settled = true);
// True once, when a change is pending and the files have been quiet long enough.
bool TakeDueReload(ReloadDebounce& d, double nowMs);

}  // namespace tools
