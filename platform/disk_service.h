#pragma once
// The system's disk service (UDisks2 on Linux) as far as formatting a card
// needs it. The rules about which device may be formatted live with the
// caller; this interface only finds, unmounts, formats and mounts.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct BlockDevice {
  std::string object;                   // the service's name for it (a D-Bus object path)
  std::string device;                   // "/dev/sdb1"
  std::string label;                    // file-system label, may be empty
  std::string fsType;                   // "vfat", "exfat", ...
  uint64_t size = 0;                    // bytes
  bool removable = false;               // its drive is removable or on a USB or SD bus
  bool system = false;                  // the service counts it as a system device
  std::vector<std::string> mountPoints; // each with a trailing '/'
};

class DiskService {
public:
  virtual ~DiskService() = default;
  // Whether the service answers; *why gets a reason when not.
  virtual bool Available(std::string* why) = 0;
  // The block device mounted at the folder (compared with and without a trailing '/').
  virtual std::optional<BlockDevice> FindByMountPoint(const std::string& mountPoint, std::string* why) = 0;
  virtual bool Unmount(const BlockDevice& device, std::string* why) = 0;
  // Creates a new file system of the type ("vfat", "exfat") with the label.
  virtual bool Format(const BlockDevice& device, const std::string& type, const std::string& label,
                      std::string* why) = 0;
  // Mounts the device's file system; returns the mount point.
  virtual std::optional<std::string> Mount(const BlockDevice& device, std::string* why) = 0;
};

// UDisks2 on the system bus (Qt D-Bus); built only with the Qt programs.
std::unique_ptr<DiskService> MakeUDisksService();

} // namespace platform
