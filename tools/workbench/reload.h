// When `qv play` reloads: which changed files count, and the debounce that waits until an
// editor has finished writing. Pure: times are arguments (ms of a steady clock).
#pragma once
#include <string>

namespace tools {

// A file whose change means a reload: the source or demo file, the music, or anything in
// data/ (images, OBJ files) but editors' backups and hidden files.
bool MattersForReload(const std::string& changed, const std::string& demoPath,
                      const std::string& musicFile);

// Editors write a file in several steps: a reload waits until the files have been quiet for
// kReloadQuietMs.
inline constexpr double kReloadQuietMs = 30;

struct ReloadDebounce {
    bool pending = false;
    double lastChangeMs = 0;
};

// A change that counts, seen at nowMs.
void NoteChange(ReloadDebounce& d, double nowMs);
// True once, when a change is pending and the files have been quiet long enough.
bool TakeDueReload(ReloadDebounce& d, double nowMs);

}  // namespace tools
