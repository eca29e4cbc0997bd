// What a drive argument names, resolved once where it comes in: a number of
// the physical list, the name or path of a disk or drive of the lists, a
// link to one of these, or a block device or image file by its path. Every
// command that takes a drive reads it through ResolveDrive, so they all take
// the same arguments.
#pragma once

#include <string>

#include "device/device.h"

namespace dt {

struct DriveRef {
  enum class Kind {
    None,      // names nothing that can be opened
    Physical,  // a physical disk: `number`, listed when `listText` is set
    Logical,   // a logical drive of the list: `name`
    File,      // a block device or image file that the lists do not show
  };
  Kind kind = Kind::None;
  int number = -1;       // Physical: the drive number ("HDD3" is 3)
  std::string name;      // Logical: the drive's name ("C", "sdb1")
  std::string listText;  // Physical or Logical: the list item's text
  std::string path;      // what opens it: the list's path, or the file's
  // The argument was a path or a link (not a number or a list name).
  bool byPath = false;

  // A disk or drive of the lists, as the main window holds its choice.
  bool Listed() const { return !listText.empty(); }
  DriveSelection Selection() const;
};

// A number of one or two digits is the physical disk of that number (listed
// when the list shows it); "HDD1" or the path of a listed physical disk (an
// NVMe controller node as its first namespace's disk) is that disk; "C",
// "C:", "sdb1" or the path of a logical drive is that drive; a link is
// followed to one of these; else an existing block device or regular file is
// taken by its path.
DriveRef ResolveDrive(const std::string& argument);

}  // namespace dt
