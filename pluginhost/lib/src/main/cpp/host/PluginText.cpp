#include "plugin/PluginText.h"

#include "base/core/IOException.h"
#include "base/core/TextEncoding.h"

namespace plugin {

base::core::String decodePluginText(const char* bytes) {
    try {
        return base::core::String(bytes, base::core::gUTF8);
    } catch (const base::core::IOException&) {
        return base::core::String(bytes, base::core::gLatin1);
    }
}

} // namespace plugin
