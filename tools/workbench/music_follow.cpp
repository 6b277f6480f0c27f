#include "tools/workbench/music_follow.h"

namespace tools {

MusicStep FollowMusic(const Transport& t, bool& playing) {
    const bool wanted = !t.paused && t.speed == 1.0;
    MusicStep step = MusicStep::None;
    if (wanted) step = MusicStep::PlayFromPlayhead;
    else if (playing) step = MusicStep::Pause;
    playing = wanted;
    return step;
}

}  // namespace tools
