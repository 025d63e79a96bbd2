#pragma once

namespace base::core {

enum EndianMode : int { BigEndian = 0, LittleEndian = 1, NativeEndian = 2 };

} // namespace base::core
