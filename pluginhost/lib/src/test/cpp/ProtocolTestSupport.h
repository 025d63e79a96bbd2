#pragma once

#include "base/core/MemoryInputStream.h"
#include "base/core/SmartPtr.h"
#include "base/core/StdStringOutputStream.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

namespace plugin::test {

// The bytes given, for comparing with what was written.
inline std::string bytes(std::initializer_list<int> values) {
    std::string result;
    for (const int value : values)
        result.push_back(static_cast<char>(value));
    return result;
}

// An ASCII text as a binary string: its length as an int32 BE, then its bytes.
inline std::string binaryString(const std::string& text) {
    const auto n = static_cast<uint32_t>(text.size());
    return bytes({int(n >> 24), int((n >> 16) & 0xFF), int((n >> 8) & 0xFF), int(n & 0xFF)}) + text;
}

// An error answer on the async channel: request id (int32 LE, below 256 here), status 0, the message.
inline std::string asyncError(int requestId, const std::string& message) {
    return bytes({requestId, 0, 0, 0, 0}) + binaryString(message);
}

// What `writer` writes to a stream.
inline std::string written(const std::function<void(base::core::OutputStream*)>& writer) {
    std::string data;
    base::core::SmartPtr<base::core::StdStringOutputStream> out = new base::core::StdStringOutputStream(data);
    writer(out.get());
    return data;
}

// A stream over `data`, which must outlive it.
inline base::core::SmartPtr<base::core::MemoryInputStream> reading(const std::string& data) {
    return new base::core::MemoryInputStream(data.data(), data.size());
}

} // namespace plugin::test
