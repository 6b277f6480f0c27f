// The music clock: plays the demo's music and gives the demo its time base, the position of
// the music being heard in whole milliseconds, 0 when playback starts and never decreasing.
// Without a usable audio device or music file the demo plays silently on a monotonic clock
// started by PlayMusic (one warning line on stderr says so).
#pragma once
#include <cstdint>
#include <string>

namespace timeline::muzax {

void InitAudio();                              // the audio output
void OpenMusic(const std::string& musicFile);  // a demo-file name (resolved like every path)
void SeekMusicMs(int32_t ms);                  // before playback only
void PlayMusic();
int32_t MusicPositionMs();

// True when the position comes from the audio device rather than the fallback clock.
bool PlaysThroughDevice();

}  // namespace timeline::muzax
