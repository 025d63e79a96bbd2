#include "base/core/StringBuilder.h"

#include "base/core/MemoryInputStream.h"
#include "base/core/TextEncoding.h"

#include <cstdio>
#include <cstring>

namespace base::core {

StringBuilder::StringBuilder() noexcept {
    inlineChars[0] = 0;
}

StringBuilder::StringBuilder(const String& text) : StringBuilder() {
    append(text);
}

StringBuilder::~StringBuilder() {
    delete[] heapChars;
}

void StringBuilder::clear() noexcept {
    size = 0;
    chars[0] = 0;
}

void StringBuilder::reserve(int additional) {
    const int needed = size + additional + 1;
    if (needed <= capacity)
        return;
    const int newCapacity = needed * 2 > capacity * 4 ? needed * 2 : capacity * 4;
    auto* grown = new Char[newCapacity];
    std::memcpy(grown, chars, (size + 1) * sizeof(Char));
    delete[] heapChars;
    heapChars = grown;
    chars = grown;
    capacity = newCapacity;
}

StringBuilder& StringBuilder::append(const void* bytes, int byteCount, TextEncoding* encoding) {
    if (byteCount <= 0)
        return *this;
    reserve(byteCount / encoding->getMinCharSizeInBytes());
    MemoryInputStream in(bytes, static_cast<size_t>(byteCount), encoding);
    while (in.numBytesAvailable() > 0) {
        Char c = encoding->readChar(&in);
        if (c == 0)
            break;
        append(c);
    }
    return *this;
}

StringBuilder& StringBuilder::append(Char c, int count) {
    if (count <= 0)
        return *this;
    reserve(count);
    for (int i = 0; i < count; ++i)
        chars[size++] = c;
    chars[size] = 0;
    return *this;
}

StringBuilder& StringBuilder::append(const unsigned int* text, int count) {
    if (count <= 0)
        return *this;
    reserve(count);
    std::memcpy(chars + size, text, count * sizeof(Char));
    size += count;
    chars[size] = 0;
    return *this;
}

StringBuilder& StringBuilder::append(const String& text) {
    return append(text.getChars(), text.length());
}

StringBuilder& StringBuilder::operator+(const char* utf8) {
    if (utf8)
        append(utf8, static_cast<int>(std::strlen(utf8)), gUTF8);
    return *this;
}

void StringBuilder::appendAscii(const char* text) {
    while (*text)
        append(static_cast<Char>(static_cast<unsigned char>(*text++)));
}

StringBuilder& StringBuilder::operator+(int value) {
    return *this + static_cast<long long>(value);
}
StringBuilder& StringBuilder::operator+(long value) {
    return *this + static_cast<long long>(value);
}

StringBuilder& StringBuilder::operator+(long long value) {
    char text[24];
    std::snprintf(text, sizeof text, "%lld", value);
    appendAscii(text);
    return *this;
}

StringBuilder& StringBuilder::operator+(unsigned long value) {
    return *this + static_cast<unsigned long long>(value);
}

StringBuilder& StringBuilder::operator+(unsigned long long value) {
    char text[24];
    std::snprintf(text, sizeof text, "%llu", value);
    appendAscii(text);
    return *this;
}

StringBuilder& StringBuilder::operator+(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    appendAscii(text);
    if (!std::strchr(text, '.'))
        appendAscii(".0");
    return *this;
}

} // namespace base::core
