#include "client/RemotePluginHostLauncher.h"

#include "base/core/IOException.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/NamedPipe.h"
#include "base/core/NamedPipes.h"
#include "base/core/StringBuilder.h"
#include "client/AudioThreadProxy.h"
#include "client/RemotePluginHostProxy.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace plugin {

using base::core::FilePath;
using base::core::IOException;
using base::core::NamedServerPipe;
using base::core::SmartPtr;
using base::core::String;
using base::core::StringBuilder;

namespace {

// Longer than the host's own grace period for an orderly end (HostExitWatchdog::GRACE_SECONDS, 3 s).
constexpr int ORDERLY_END_MILLISECONDS = 4000;

// Watches the child while the server side waits in its blocking FIFO opens. Should the child end
// first, it opens the FIFOs' other ends itself so that every pending open returns, and the connection
// then fails instead of waiting for ever.
class ConnectionWatchdog {
public:
    ConnectionWatchdog(pid_t child, std::vector<FilePath> fifoFiles)
        : pidFd(static_cast<int>(syscall(SYS_pidfd_open, child, 0))), fifoFiles(std::move(fifoFiles)),
          thread([this] { watch(); }) {}
    ConnectionWatchdog(const ConnectionWatchdog&) = delete;
    ConnectionWatchdog& operator=(const ConnectionWatchdog&) = delete;
    ~ConnectionWatchdog() {
        done.store(true);
        thread.join();
        for (int fd : peerEnds)
            close(fd);
        if (pidFd >= 0)
            close(pidFd);
    }

    bool childEnded() const { return ended.load(); }

private:
    void watch() {
        while (!done.load()) {
            pollfd fd{pidFd, POLLIN, 0};
            if (pidFd >= 0 && poll(&fd, 1, 20) == 1)
                ended.store(true);
            else if (pidFd < 0)
                usleep(20000);
            if (ended.load())
                releasePendingOpens();
        }
    }

    void releasePendingOpens() {
        for (const FilePath& file : fifoFiles) {
            // The server writes "-to-client" and reads "-from-client"; open the opposite ends.
            const bool serverWrites = file.toString().endsWith("-to-client");
            const std::string path = base::core::LocalFileSystem::filePathToNative(file).getStdString();
            const int fd = open(path.c_str(), (serverWrites ? O_RDONLY : O_WRONLY) | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0)
                peerEnds.push_back(fd);
        }
        usleep(2000);
    }

    int pidFd;
    std::vector<FilePath> fifoFiles;
    std::vector<int> peerEnds;
    std::atomic<bool> done{false};
    std::atomic<bool> ended{false};
    std::thread thread;
};

} // namespace

RemotePluginHostLauncher::RemotePluginHostLauncher(const Settings& settings)
    : settings(settings), child(new base::core::ChildProcess()) {}

RemotePluginHostLauncher::~RemotePluginHostLauncher() {
    // The proxy has told the host to shut down (or found it dead): it ends in order, closing its plug-ins and
    // removing their shared blocks, within its own grace period. Only one still running after that is killed
    // (by the child process's destructor); killing it at once would leave the blocks of an instance it was
    // making. The pipes stay open meanwhile, so that its audio threads end as asked, not as cut off.
    if (pidFd >= 0) {
        pollfd ended{pidFd, POLLIN, 0};
        while (poll(&ended, 1, ORDERLY_END_MILLISECONDS) < 0 && errno == EINTR) {
        }
        close(pidFd);
    }
}

void RemotePluginHostLauncher::killHost() {
    if (pidFd >= 0)
        syscall(SYS_pidfd_send_signal, pidFd, SIGKILL, nullptr, 0);
    else if (const int32_t pid = child->getPid(); pid > 0)
        kill(pid, SIGKILL);
}

SmartPtr<RemotePluginHostProxy> RemotePluginHostLauncher::connect(const Settings& settings,
                                                                  RemotePluginHostProxyManager* manager,
                                                                  RemotePluginHostLauncher** launcher) {
    SmartPtr<RemotePluginHostLauncher> process(new RemotePluginHostLauncher(settings));
    SmartPtr<RemotePluginHostProxy> proxy(
        new RemotePluginHostProxy(manager, settings.hostId, settings.blockSize));
    proxy->setConnection(process.get());
    process->pipes.push_back(
        NamedServerPipe::create(base::core::getThreadPipePath(settings.hostId, "main"), true, true));
    process->pipes.push_back(NamedServerPipe::create(
        base::core::getThreadPipePath(settings.hostId, "async-replies"), false, true));
    for (int index = 0; index < settings.audioThreadCount; ++index) {
        process->pipes.push_back(NamedServerPipe::create(
            base::core::getThreadPipePath(settings.hostId, StringBuilder() + "worker" + index), true, true));
    }
    process->child->launch({settings.executable, "host", String::fromInt(settings.sampleRate),
                            String::fromInt(settings.blockSize), String::fromInt(settings.hostId),
                            String::fromInt(settings.audioThreadCount)},
                           {});
    process->pidFd = static_cast<int>(syscall(SYS_pidfd_open, process->child->getPid(), 0));
    process->waitForConnections(*proxy);
    RemotePluginHostLauncher* host = process.get(); // the proxy keeps it as long as the watchdog runs
    proxy->startWatchdog(settings.deadlines, [host] { host->killHost(); });
    proxy->setShutdownOnRelease(true);
    if (launcher)
        *launcher = process.get();
    return proxy;
}

void RemotePluginHostLauncher::waitForConnections(RemotePluginHostProxy& proxy) {
    std::vector<FilePath> fifoFiles;
    for (const auto& pipe : pipes) {
        fifoFiles.push_back(base::core::getPipeFilePath(pipe->getPath(), true));
        fifoFiles.push_back(base::core::getPipeFilePath(pipe->getPath(), false));
    }
    ConnectionWatchdog watchdog(child->getPid(), fifoFiles);
    auto connectNext = [&](size_t index) {
        SmartPtr<base::core::NamedPipe> pipe = pipes[index]->waitForClientToConnect(nullptr);
        if (watchdog.childEnded())
            throw IOException(StringBuilder() + "Plug-in host process " + child->getPid() +
                              " ended before it connected");
        return pipe;
    };
    SmartPtr<base::core::NamedPipe> mainPipe = connectNext(0);
    SmartPtr<base::core::NamedPipe> asyncPipe = connectNext(1);
    proxy.setStreams(mainPipe->getInputStream(), mainPipe->getOutputStream(), asyncPipe->getInputStream());
    proxy.startAsyncReplyThread();
    for (size_t index = 2; index < pipes.size(); ++index) {
        SmartPtr<base::core::NamedPipe> worker = connectNext(index);
        proxy.addAudioThread(new AudioThreadProxy(worker->getInputStream(), worker->getOutputStream()));
    }
}

} // namespace plugin
