#pragma once
// A machine without a sound card is an ordinary case for the player (it plays
// without sound), so ALSA's own reports on standard error are dropped.
#include <alsa/asoundlib.h>

namespace platform {

inline void DropAlsaReport(const char*, int, const char*, int, const char*, ...) {}

inline void QuietAlsaReports() { snd_lib_error_set_handler(DropAlsaReport); }

} // namespace platform
