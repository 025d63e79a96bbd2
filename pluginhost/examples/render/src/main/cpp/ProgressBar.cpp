#include "ProgressBar.h"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace render {

namespace {
constexpr int WIDTH = 40;
}

ProgressBar::ProgressBar(int64_t total) : total(total), shown(isatty(STDERR_FILENO) == 1) {}

ProgressBar::~ProgressBar() {
    if (shown && lastPercent >= 0)
        std::fputc('\n', stderr);
}

void ProgressBar::update(int64_t done) {
    if (!shown)
        return;
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
    if (percent == lastPercent)
        return;
    lastPercent = percent;
    const int filled = percent * WIDTH / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
                 std::string(WIDTH - filled, ' ').c_str(), percent);
    std::fflush(stderr);
}

} // namespace render
