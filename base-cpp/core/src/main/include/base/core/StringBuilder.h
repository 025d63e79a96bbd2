#pragma once

#include "base/core/String.h"

#include <cstdint>

namespace base::core {

class TextEncoding;

// Mutable character buffer for formatting messages; stays off the heap up to INLINE_CAPACITY characters.
class StringBuilder {
public:
    static constexpr int INLINE_CAPACITY = 2048;

    StringBuilder() noexcept;
    explicit StringBuilder(const String& text);
    StringBuilder(const StringBuilder&) = delete;
    StringBuilder& operator=(const StringBuilder&) = delete;
    ~StringBuilder();

    StringBuilder& append(const void* bytes, int byteCount, TextEncoding* encoding);
    StringBuilder& append(Char c, int count = 1);
    StringBuilder& append(const unsigned int* chars, int count);
    StringBuilder& append(const String& text);

    StringBuilder& operator+(const String& text) { return append(text); }
    StringBuilder& operator+(const char* utf8);
    StringBuilder& operator+(const std::string& utf8) { return *this + utf8.c_str(); }
    StringBuilder& operator+(char c) { return append(static_cast<Char>(static_cast<unsigned char>(c))); }
    StringBuilder& operator+(Char c) { return append(c); }
    StringBuilder& operator+(int value);
    StringBuilder& operator+(long value);
    StringBuilder& operator+(long long value);
    StringBuilder& operator+(unsigned long value);
    StringBuilder& operator+(unsigned long long value);
    StringBuilder& operator+(float value);
    StringBuilder& operator+(double value) { return *this + static_cast<float>(value); }

    int length() const noexcept { return size; }
    const Char* getChars() const noexcept { return chars; }
    void clear() noexcept;
    void reserve(int additional);
    String toString() const { return String::fromChars(chars, static_cast<uint32_t>(size)); }
    operator String() const { return toString(); }

private:
    void appendAscii(const char* text);

    Char inlineChars[INLINE_CAPACITY];
    Char* heapChars = nullptr;
    Char* chars = inlineChars;
    int size = 0;
    int capacity = INLINE_CAPACITY;
};

} // namespace base::core
