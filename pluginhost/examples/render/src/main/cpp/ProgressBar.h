#pragma once

#include <cstdint>

namespace render {

// A one-line progress bar on standard error, drawn only when standard error is a terminal so that logs
// and pipes get no control characters. Rendering thread only.
class ProgressBar {
public:
    explicit ProgressBar(int64_t total);
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    // Ends the line, so that later messages start on a line of their own.
    ~ProgressBar();

    void update(int64_t done);

private:
    int64_t total;
    bool shown;
    int lastPercent = -1;
};

} // namespace render
