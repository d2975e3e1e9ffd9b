// Playing a sound file without waiting for it: the first of the desktop's players found in PATH
// (PipeWire's pw-play, PulseAudio's paplay, ALSA's aplay) is started on the file and left to
// finish by itself. Any thread.
#pragma once

#include <string>

#include "platform/error.h"

namespace tw {

// Starts playing the file; fails with 2 when no player is found, and with the start's error.
// Whether the player can play the file is the player's business.
Error PlaySoundFile(const std::string& path);

}  // namespace tw
