#pragma once

#include "base/core/String.h"

namespace plugin {

// Decodes a zero-terminated text that a plug-in wrote into a byte buffer: UTF-8, or Latin-1 when the
// bytes are not valid UTF-8 (older plug-ins write their local 8-bit code page).
base::core::String decodePluginText(const char* bytes);

} // namespace plugin
