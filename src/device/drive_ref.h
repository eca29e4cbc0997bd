// What a drive argument names, resolved once where it comes in: a number of
// the physical list, the name or path of a disk or drive of the lists, a
// link to one of these, or a block device or image file by its path. Every
// command that takes a drive reads it through ResolveDrive, so they all take
// the same arguments.
#pragma once

#include <string>

#include "device/device.h"

namespace dt {

// A number of one or two digits is the physical disk of that number (listed
// when the list shows it); "HDD1" or the path of a listed physical disk (an
// NVMe controller node as its first namespace's disk) is that disk; "C",
// "C:", "sdb1" or the path of a logical drive is that drive; a link is
// followed to one of these; else an existing block device or regular file is
// taken by its path.
DriveRef ResolveDrive(const std::string& argument);

}  // namespace dt
