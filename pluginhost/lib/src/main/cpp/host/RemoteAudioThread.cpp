#include "plugin/RemoteAudioThread.h"

#include "base/core/Exception.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/LockGuard.h"
#include "base/core/NamedPipes.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "plugin/PluginAudioContext.h"
#include "plugin/PluginHost.h"
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
        error->writeLine("");
        error->flush();
    }
}

void RemoteAudioThread::serve() {
    base::core::InputStream& in = *input;
    base::core::OutputStream& out = *output;
    while (!stop.load()) {
        const unsigned char command = in.readByte();
        if (command > PROCESS)
            continue;
        const int32_t instanceId = in.readInt32Native();
        if (command == PROCESS) {
            const int32_t frames = in.readInt32Native();
            const bool flag1 = in.readBool();
            const bool flag2 = in.readBool();
            PluginInstance* instance = host->getPluginInstance(static_cast<unsigned int>(instanceId));
            PluginAudioContext* context = instance ? instance->getAudioContext() : nullptr;
            // An unknown instance still gets an answer: the client is blocked waiting for it.
            const int result =
                context ? context->processAudio(static_cast<unsigned int>(frames), flag1, flag2) : 0;
            out.writeInt32(result);
            out.flush();
            continue;
        }
        PluginInstance* instance = host->getPluginInstance(static_cast<unsigned int>(instanceId));
        if (PluginAudioContext* context = instance ? instance->getAudioContext() : nullptr) {
            if (command == START_PROCESS)
                context->startProcessing();
            else
                context->stopProcessing();
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
    // Either close may fail on a stream that the failing thread closed already; both must be tried.
    try {
        output->close();
    } catch (const base::core::Exception&) {
    }
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
