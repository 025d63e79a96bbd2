// A stereo effect whose stop call takes a while, so that a host which closes a plug-in while an audio thread
// is still inside it gets caught: a state call (start, stop, mains, close, process) that overlaps another,
// and every call after effClose, abort the process with a message. The object is kept (not freed) so that a
// late call finds it.

#include "TestPlugin.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

class SlowStop : public TestPlugin {
public:
    using TestPlugin::TestPlugin;

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override {
        check(!closed, "called after effClose", opcode);
        if (opcode != effClose && opcode != effMainsChanged && opcode != effStartProcess &&
            opcode != effStopProcess)
            return TestPlugin::dispatch(opcode, index, value, ptr, opt);
        enter(opcode);
        if (opcode == effStopProcess)
            usleep(300);
        closed = opcode == effClose;
        busy = false;
        return opcode == effClose;
    }
    void process(float** inputs, float** outputs, VstInt32 frames) override {
        check(!closed, "called after effClose", -1);
        enter(-1);
        TestPlugin::process(inputs, outputs, frames);
        busy = false;
    }

private:
    // Another state call entering meanwhile is a host fault.
    void enter(VstInt32 opcode) {
        check(!busy.exchange(true), "called while another call was inside", opcode);
    }
    static void check(bool fine, const char* what, VstInt32 opcode) {
        if (fine)
            return;
        std::fprintf(stderr, "Slow Stop: %s (opcode %d)\n", what, static_cast<int>(opcode));
        std::abort();
    }

    std::atomic<bool> closed{false};
    std::atomic<bool> busy{false};
};

} // namespace

TEST_PLUGIN_MAIN(SlowStop, 0x5A745370, "Slow Stop")
