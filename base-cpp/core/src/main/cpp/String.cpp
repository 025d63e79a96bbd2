#include "base/core/String.h"

#include "base/core/NumberFormatException.h"
#include "base/core/StdStringOutputStream.h"
#include "base/core/StringBuilder.h"
#include "base/core/TextEncoding.h"

#include <cstdio>
#include <cstring>

namespace base::core {

namespace {

const Char EMPTY_CHARS[1] = {0};

// Decodes the next character of a zero-terminated UTF-8 byte string; 0 at its end. Invalid sequences
// decode byte by byte as Latin-1 so that comparisons never throw.
Char nextUtf8Char(const unsigned char*& p) {
    unsigned char b = *p;
    if (b == 0)
        return 0;
    int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 0;
    Char c = extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : extra == 3 ? (b & 0x07) : b;
    for (int i = 1; i <= extra; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            ++p;
            return b;
        }
        c = (c << 6) | (p[i] & 0x3F);
    }
    p += extra + 1;
    return c;
}

Char foldCase(Char c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

} // namespace

String::String(const char* utf8) {
    if (utf8 && *utf8) {
        StringBuilder builder;
        builder.append(utf8, static_cast<int>(std::strlen(utf8)), gUTF8);
        *this = builder.toString();
    }
}

String::String(const std::string& utf8) {
    if (!utf8.empty()) {
        StringBuilder builder;
        builder.append(utf8.data(), static_cast<int>(utf8.size()), gUTF8);
        *this = builder.toString();
    }
}

String::String(const char* bytes, TextEncoding* encoding) {
    if (bytes) {
        StringBuilder builder;
        builder.append(bytes, static_cast<int>(encoding->byteLen(bytes)), encoding);
        *this = builder.toString();
    }
}

String::String(const char16_t* utf16) {
    if (utf16) {
        StringBuilder builder;
        builder.append(utf16, static_cast<int>(gUTF16LE->byteLen(utf16)), gUTF16LE);
        *this = builder.toString();
    }
}

String::String(const String& other) noexcept : record(other.record) {
    if (record)
        record->referenceCount.fetch_add(1, std::memory_order_seq_cst);
}

String::String(String&& other) noexcept : record(other.record) {
    other.record = nullptr;
}

String::~String() {
    releaseRecord();
}

String& String::operator=(const String& other) noexcept {
    if (other.record)
        other.record->referenceCount.fetch_add(1, std::memory_order_seq_cst);
    releaseRecord();
    record = other.record;
    return *this;
}

String& String::operator=(String&& other) noexcept {
    if (this != &other) {
        releaseRecord();
        record = other.record;
        other.record = nullptr;
    }
    return *this;
}

void String::releaseRecord() noexcept {
    if (record && record->referenceCount.fetch_sub(1, std::memory_order_seq_cst) == 1) {
        delete[] record->chars;
        delete record;
    }
    record = nullptr;
}

String String::fromChars(const Char* chars, uint32_t length) {
    String result;
    if (length == 0)
        return result;
    auto* array = new Char[length + 1];
    std::memcpy(array, chars, length * sizeof(Char));
    array[length] = 0;
    result.record = new Record{array, length + 1, {1}};
    return result;
}

String String::fromInt(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return String(text);
}

const Char* String::getChars() const noexcept {
    return record ? record->chars : EMPTY_CHARS;
}

int String::compareTo(const char* utf8) const {
    auto* p = reinterpret_cast<const unsigned char*>(utf8 ? utf8 : "");
    const int len = length();
    int i = 0;
    for (;; ++i) {
        Char that = nextUtf8Char(p);
        if (that == 0)
            return i == len ? 0 : 1;
        if (i >= len)
            return -1;
        Char self = charAt(i);
        if (self != that)
            return static_cast<int32_t>(self - that);
    }
}

int String::compareToIgnoreCase(const char* utf8) const {
    auto* p = reinterpret_cast<const unsigned char*>(utf8 ? utf8 : "");
    const int len = length();
    for (int i = 0;; ++i) {
        Char that = nextUtf8Char(p);
        if (that == 0)
            return i == len ? 0 : 1;
        if (i >= len)
            return -1;
        Char self = foldCase(charAt(i));
        that = foldCase(that);
        if (self != that)
            return static_cast<int32_t>(self - that);
    }
}

int String::compareTo(const String& other) const noexcept {
    const int a = length(), b = other.length();
    for (int i = 0; i < a && i < b; ++i) {
        if (charAt(i) != other.charAt(i))
            return charAt(i) < other.charAt(i) ? -1 : 1;
    }
    return a == b ? 0 : (a < b ? -1 : 1);
}

bool String::equals(const String& other) const noexcept {
    if (record == other.record)
        return true;
    const int len = length();
    return len == other.length() && std::memcmp(getChars(), other.getChars(), len * sizeof(Char)) == 0;
}

bool String::startsWith(const String& prefix) const noexcept {
    const int n = prefix.length();
    return n <= length() && std::memcmp(getChars(), prefix.getChars(), n * sizeof(Char)) == 0;
}

bool String::endsWith(const String& suffix) const noexcept {
    const int n = suffix.length(), len = length();
    return n <= len && std::memcmp(getChars() + (len - n), suffix.getChars(), n * sizeof(Char)) == 0;
}

int String::indexOf(Char c, int start) const noexcept {
    for (int i = start < 0 ? 0 : start; i < length(); ++i) {
        if (charAt(i) == c)
            return i;
    }
    return -1;
}

int String::lastIndexOf(Char c) const noexcept {
    for (int i = length() - 1; i >= 0; --i) {
        if (charAt(i) == c)
            return i;
    }
    return -1;
}

String String::substring(int start, int end) const {
    const int len = length();
    if (end > len)
        end = len;
    if (start < 0)
        start = 0;
    if (start >= end)
        return String();
    return fromChars(getChars() + start, static_cast<uint32_t>(end - start));
}

void String::separate(std::vector<String>& result, Char separator, int start) const {
    const int len = length();
    while (start < len) {
        int next = indexOf(separator, start);
        if (next < 0) {
            result.push_back(substring(start, len));
            return;
        }
        result.push_back(substring(start, next));
        start = next + 1;
    }
}

int String::asInt32(int) const {
    const int len = length();
    auto fail = [this]() -> int {
        throw NumberFormatException(StringBuilder() + "Invalid number: " + *this);
    };
    auto isSpace = [](Char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; };
    auto isDigit = [](Char c) { return c >= '0' && c <= '9'; };
    if (len == 0)
        return fail();
    bool negative = false;
    int first = 0;
    for (; first < len; ++first) {
        Char c = charAt(first);
        if (c == '-')
            negative = !negative;
        else if (isDigit(c))
            break;
        else if (!isSpace(c))
            return fail();
    }
    if (first == len)
        return fail();
    int last = len - 1;
    while (isSpace(charAt(last)))
        --last;
    uint32_t value = 0, factor = 1;
    for (int i = last; i >= first; --i) {
        Char c = charAt(i);
        if (!isDigit(c))
            return fail();
        value += (c - '0') * factor;
        factor *= 10;
    }
    return static_cast<int32_t>(negative ? 0u - value : value);
}

std::string String::getStdString() const {
    std::string out;
    StdStringOutputStream stream(out);
    gUTF8->writeString(*this, &stream);
    return out;
}

size_t String::hash() const noexcept {
    size_t h = 1469598103934665603ull;
    for (int i = 0; i < length(); ++i)
        h = (h ^ charAt(i)) * 1099511628211ull;
    return h;
}

} // namespace base::core
