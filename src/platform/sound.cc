#include "platform/sound.h"

#include <array>

#include "platform/process.h"

namespace tw {

Error PlaySoundFile(const std::string& path) {
  constexpr std::array<const char*, 3> kPlayers = {"pw-play", "paplay", "aplay"};
  for (const char* player : kPlayers) {
    Result<std::string> program = FindProgram(player);
    if (!program.ok()) continue;
    // "--" keeps a file name that begins with "-" from being read as an option.
    Result<Process> started = Process::StartDetached({*program, "--", path});
    return started.ok() ? Error() : started.error();
  }
  return Error(err::kFileNotFound);
}

}  // namespace tw
