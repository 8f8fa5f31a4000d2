#pragma once
// What the drive list reads about the block device behind a mount: its volume
// label (the names in /dev/disk/by-label, whose links point at the devices) and
// whether the kernel marks the disk removable (the "removable" file of the
// device, or of its whole disk for a partition, under /sys/class/block).
#include <string>

// The label of `device` (such as "/dev/sda1"); empty when it has none or the
// device is no block device path (a network share, "tmpfs"). Labels are stored
// escaped ("\x20" for a blank) and come back unescaped.
std::string LabelOfDevice(const std::string& device,
                          const std::string& byLabelFolder = "/dev/disk/by-label");

// True when `device` is a removable disk or a partition of one (card readers,
// USB sticks, optical drives). Unknown devices count as fixed.
bool IsRemovableDevice(const std::string& device,
                       const std::string& blockClassFolder = "/sys/class/block");
