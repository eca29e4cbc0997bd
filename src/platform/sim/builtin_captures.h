// ATA captures of real drives built into the program for the demo machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dt {

struct BuiltinCapture {
  const char* name;
  const std::uint8_t* data;
  std::size_t size;
};

// The capture of that name ("samsung_hd501lj"), or null.
const BuiltinCapture* FindBuiltinCapture(const std::string& name);

}  // namespace dt
