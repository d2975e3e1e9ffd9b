// A private home for one benchmark run: a fresh folder below /tmp that HOME and the XDG config
// and data folders point at, so that settings and page folders are the run's own.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <string>

namespace tw::bench {

// Makes the folder and points the environment at it; the caller removes it when done.
inline std::string MakeBenchHome() {
  std::string pattern = "/tmp/tidewell-bench-XXXXXX";
  if (!::mkdtemp(pattern.data())) std::abort();
  ::setenv("HOME", pattern.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (pattern + "/.config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (pattern + "/.local/share").c_str(), 1);
  return pattern;
}

}  // namespace tw::bench
