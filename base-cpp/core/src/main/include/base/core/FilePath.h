#pragma once

#include "base/core/String.h"

namespace base::core {

// A path in system-neutral form: components joined by "/", without the leading "/" of absolute native
// paths. The empty path is the root.
class FilePath {
public:
    static constexpr Char SEPARATOR = '/';

    FilePath() = default;
    explicit FilePath(const String& path) : path(path) {}

    FilePath& appendPath(const String& component);
    FilePath& appendText(const String& text);
    FilePath& setToParent();
    FilePath getFilePathWithoutExtension() const;
    // The last component.
    String getName() const;

    const String& toString() const { return path; }
    bool isEmpty() const { return path.isEmpty(); }
    bool operator==(const FilePath& other) const { return path == other.path; }

private:
    String path;
};

} // namespace base::core
