#include "plugin/RemoteAudioThread.h"

#include "base/core/Exception.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/LockGuard.h"
#include "base/core/NamedPipes.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "plugin/PluginAudioContext.h"
#include "plugin/PluginHost.h"
#include "plugin/PluginHostNotificationQueue.h"
#include "plugin/PluginInstance.h"

#include <fcntl.h>
#include <unistd.h>
#include <xmmintrin.h>

namespace plugin {

using base::core::LockGuard;
using base::core::SmartPtr;
using base::core::StringBuilder;

namespace {

// Flush-to-zero and denormals-are-zero, every exception masked, round to nearest, for the life of
// one audio thread: denormals in plug-in feedback paths would otherwise cost orders of magnitude.
class AudioFloatingPointState {
public:
    AudioFloatingPointState() : saved(_mm_getcsr()) {
        constexpr unsigned int FLUSH_TO_ZERO = 0x8000, DENORMALS_ARE_ZERO = 0x0040,
                               ALL_EXCEPTIONS_MASKED = 0x1F80, ROUNDING_MASK = 0x6000;
        _mm_setcsr(((saved & ~ROUNDING_MASK) | FLUSH_TO_ZERO | DENORMALS_ARE_ZERO | ALL_EXCEPTIONS_MASKED));
    }
    AudioFloatingPointState(const AudioFloatingPointState&) = delete;
    AudioFloatingPointState& operator=(const AudioFloatingPointState&) = delete;
    ~AudioFloatingPointState() { _mm_setcsr(saved); }

private:
    unsigned int saved;
};

} // namespace

RemoteAudioThread::RemoteAudioThread(PluginHost* host, int hostId, int index)
    : Thread("RemoteAudioThread", 1), host(host), hostId(hostId), index(index) {}

// Joined here, while this object is whole: the base destructor would join after the members are gone.
RemoteAudioThread::~RemoteAudioThread() {
    join();
}

void RemoteAudioThread::run() {
    AudioFloatingPointState floatingPointState;
    struct MarkFinished {
        std::atomic<bool>& finished;
        ~MarkFinished() { finished.store(true); }
    } markFinished{finished};
    try {
        SmartPtr<base::core::NamedPipe> connected = base::core::NamedPipe::connectToServer(
            base::core::getThreadPipePath(hostId, StringBuilder() + "worker" + index), nullptr, true, true);
        {
            LockGuard guard(connectionMutex);
            pipe = connected;
            input = connected->getInputStream();
            output = connected->getOutputStream();
        }
        if (!stop.load())
            serve();
    } catch (const base::core::Exception& e) {
        if (stop.load())
            return; // woken by shutdown: not a lost connection
        base::core::OutputStream* error = base::core::getError();
        error->writeString(StringBuilder() + "Lost connection on audio thread: " + e.getMessage());
        error->flush();
        error->writeLineAndFlush("");
    }
}

void RemoteAudioThread::serve() {
    base::core::InputStream& in = *input;
    base::core::OutputStream& out = *output;
    const PluginInstanceTable& instances = host->getAudioInstances();
    const auto blockSize = static_cast<unsigned int>(host->getBlockSize());
    while (!stop.load()) {
        const unsigned char command = in.readByte();
        if (command > PROCESS)
            continue;
        const int32_t instanceId = in.readInt32Native();
        if (command == PROCESS) {
            const auto frames = static_cast<unsigned int>(in.readInt32Native());
            const bool flag1 = in.readBool();
            const bool flag2 = in.readBool();
            // An unknown instance or a refused block still gets an answer: the client is waiting for it.
            int result = 0;
            if (frames > blockSize) {
                // Only a broken client gets here; the line costs an allocation, processing would cost memory
                // past the channel buffers.
                base::core::getError()->writeLine(StringBuilder() + "Refused to process " +
                                                  static_cast<int32_t>(frames) + " frames for instance " +
                                                  instanceId + ": the block size is " + host->getBlockSize());
            } else if (const PluginInstanceTable::Pin instance = instances.pin(instanceId)) {
                PluginHostNotificationQueue::BlockScope block;
                result = instance->getAudioContext()->processAudio(frames, flag1, flag2);
            }
            out.writeInt32(result);
            out.flush();
            continue;
        }
        if (const PluginInstanceTable::Pin instance = instances.pin(instanceId)) {
            PluginHostNotificationQueue::BlockScope block;
            if (command == START_PROCESS)
                instance->getAudioContext()->startProcessing();
            else
                instance->getAudioContext()->stopProcessing();
        }
    }
}

void RemoteAudioThread::stopAndJoin() {
    stop.store(true);
    int peerEnds[2] = {-1, -1};
    while (!finished.load()) {
        {
            LockGuard guard(connectionMutex);
            if (pipe) {
                closeStreams();
                break;
            }
        }
        openPeerEnds(peerEnds);
        usleep(2000);
    }
    join();
    for (int fd : peerEnds) {
        if (fd >= 0)
            close(fd);
    }
}

void RemoteAudioThread::closeStreams() {
    // The thread may be inside a read or a write: abandoning ends either without flushing or releasing
    // under it. The input may have been closed already by a failing read; both must be tried.
    output->abandon();
    try {
        input->close();
    } catch (const base::core::Exception&) {
    }
}

void RemoteAudioThread::openPeerEnds(int (&peerEnds)[2]) {
    const base::core::FilePath logical =
        base::core::getThreadPipePath(hostId, StringBuilder() + "worker" + index);
    // Non-blocking opens never wait: each either meets the thread's pending open (which then returns) or
    // finds nobody yet and is tried again.
    for (int direction = 0; direction < 2; ++direction) {
        if (peerEnds[direction] >= 0)
            continue;
        const bool toClient = direction == 0;
        const std::string path =
            base::core::LocalFileSystem::filePathToNative(base::core::getPipeFilePath(logical, toClient))
                .getStdString();
        peerEnds[direction] = open(path.c_str(), (toClient ? O_WRONLY : O_RDONLY) | O_NONBLOCK | O_CLOEXEC);
    }
}

} // namespace plugin
