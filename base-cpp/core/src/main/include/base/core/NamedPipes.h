#pragma once

#include "base/core/FilePath.h"
#include "base/core/SmartPtr.h"
#include "base/core/String.h"

namespace base::core {

class InputStream;
class OutputStream;
class TextEncoding;

// Every pipe between a host process and its client lives below this logical path.
extern const char* const PLUGIN_HOST_PATH_PREFIX;

// PLUGIN_HOST_PATH_PREFIX + host id + "/" + name, e.g. zelvar/engine/plugin3/main.
FilePath getThreadPipePath(int hostId, const String& name);

// The FIFO file of one direction of a logical pipe: /tmp/pipes-$USER/<logical>-to-client or -from-client.
// Directions are named as seen from the connecting side (the host).
FilePath getPipeFilePath(const FilePath& logical, bool toClient);

// Creates the FIFO file of one direction with its directories (mode 0700), replacing whatever was at its
// path. Every directory below /tmp must belong to this user, be writable by no one else and not be a
// symbolic link; otherwise an IOException names it, its owner and what to do.
void createPipe(const FilePath& logical, bool toClient);

// Open one direction of a logical pipe, each wrapped in a 1024-byte buffer. Opening blocks until the other
// side has opened the same FIFO. The directories are checked as by createPipe, and the file must be a FIFO
// of this user (symbolic links are not followed).
SmartPtr<InputStream> createNamedPipeInputStream(const FilePath& logical, bool toClient,
                                                 TextEncoding* encoding = nullptr);
SmartPtr<OutputStream> createNamedPipeOutputStream(const FilePath& logical, bool toClient,
                                                   TextEncoding* encoding = nullptr);

} // namespace base::core
