#include "base/core/FilePath.h"

#include "base/core/StringBuilder.h"

namespace base::core {

FilePath& FilePath::appendPath(const String& component) {
    if (component.isEmpty())
        return *this;
    path = path.isEmpty() ? component : String(StringBuilder(path) + SEPARATOR + component);
    return *this;
}

FilePath& FilePath::appendText(const String& text) {
    path = StringBuilder(path) + text;
    return *this;
}

FilePath& FilePath::setToParent() {
    const int last = path.lastIndexOf(SEPARATOR);
    path = last < 0 ? String() : path.substring(0, last);
    return *this;
}

FilePath FilePath::getFilePathWithoutExtension() const {
    const int dot = path.lastIndexOf('.');
    if (dot < 0 || dot < path.lastIndexOf(SEPARATOR))
        return *this;
    return FilePath(path.substring(0, dot));
}

String FilePath::getName() const {
    return path.substring(path.lastIndexOf(SEPARATOR) + 1);
}

} // namespace base::core
