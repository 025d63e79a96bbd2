#pragma once

#include "TestResults.h"

#include "base/core/FilePath.h"

namespace plugin {

class TestProxyProvider;

// Tests every plug-in module under `path` end to end (create, report, render a minute of audio while
// the editor is opened, a preset saved and every program set, then close and destroy), prints the
// summary and returns the number of failed plug-ins. Runs on the calling thread, one test at a time.
int runTests(TestProxyProvider* provider, const base::core::FilePath& path);

// Tests the modules under `path` (or `path` itself) and records each outcome in `results`.
void runTests(TestProxyProvider* provider, const base::core::FilePath& path, TestResults* results);

} // namespace plugin
