// Any bytes as "usrset.dat": decoding must accept or refuse without reading past
// the input, and whatever it accepts must encode back to the same 16 bytes when
// the marker is the player's own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "camera/usrset.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CameraSettings s = CameraSettings::Defaults();
  const CameraSettings before = s;
  const UsrSetStatus status = DecodeUsrSet(data, size, &s);
  if (status != UsrSetStatus::Ok) {
    if (!(s == before)) std::abort(); // a refused file changes nothing
    return 0;
  }
  const UsrSetBytes again = EncodeUsrSet(s);
  // Byte 14's low bits are not kept, nor is the camera's marker 0xFC.
  if (data[15] == kUsrSetMarker && (data[14] & 0x3F) == 0 && std::memcmp(again.data(), data, 16) != 0)
    std::abort();
  CameraSettings back;
  if (DecodeUsrSet(again.data(), again.size(), &back) != UsrSetStatus::Ok || !(back == s)) std::abort();
  return 0;
}
