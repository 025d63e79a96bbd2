#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace base::core {

// One Unicode code point; 0 terminates character arrays.
using Char = uint32_t;

class TextEncoding;

// Immutable, reference-counted string of code points. The null String is the empty string.
class String {
public:
    String() noexcept = default;
    String(const char* utf8);
    String(const char* bytes, TextEncoding* encoding);
    String(const std::string& utf8);
    // Zero-terminated UTF-16 little-endian units.
    explicit String(const char16_t* utf16);
    String(const String& other) noexcept;
    String(String&& other) noexcept;
    ~String();
    String& operator=(const String& other) noexcept;
    String& operator=(String&& other) noexcept;

    // Takes `length` characters; an empty range gives the null String.
    static String fromChars(const Char* chars, uint32_t length);
    static String fromInt(int value);

    int length() const noexcept { return record ? static_cast<int>(record->size - 1) : 0; }
    bool isEmpty() const noexcept { return record == nullptr; }
    Char charAt(int index) const noexcept { return record->chars[index]; }
    Char operator[](int index) const noexcept { return record->chars[index]; }
    // The zero-terminated characters; a static empty array for the null String.
    const Char* getChars() const noexcept;

    int compareTo(const char* utf8) const;
    int compareToIgnoreCase(const char* utf8) const;
    int compareTo(const String& other) const noexcept;
    bool equals(const String& other) const noexcept;
    bool operator==(const String& other) const noexcept { return equals(other); }
    bool operator==(const char* utf8) const { return compareTo(utf8) == 0; }
    bool operator<(const String& other) const noexcept { return compareTo(other) < 0; }

    bool startsWith(const String& prefix) const noexcept;
    bool endsWith(const String& suffix) const noexcept;
    int indexOf(Char c, int start = 0) const noexcept;
    int lastIndexOf(Char c) const noexcept;
    static constexpr int END = 2147483647;
    String substring(int start, int end = END) const;
    void separate(std::vector<String>& result, Char separator, int start = 0) const;
    int asInt32(int base = 10) const;
    std::string getStdString() const;
    size_t hash() const noexcept;

private:
    struct Record {
        Char* chars;
        uint32_t size; // length + 1
        std::atomic<int32_t> referenceCount;
    };
    friend class StringBuilder;

    void releaseRecord() noexcept;

    Record* record = nullptr;
};

} // namespace base::core

template <> struct std::hash<base::core::String> {
    size_t operator()(const base::core::String& s) const noexcept { return s.hash(); }
};
