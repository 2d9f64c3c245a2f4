// The Linux side of console/event_hook.h: posix_spawn, a pipe for the
// event, and waitpid without waiting. Each run is the leader of its own
// process group, so that its time limit ends what it started too (a
// `curl`, a `sleep 1000 &`), not only the command itself.

#include "console/event_hook.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "console/queued_event_hook.h"
#include "lookup/linux/unique_fd.h"

extern char** environ;

namespace varnock::console {
namespace {

using linux_backend::UniqueFd;

class SpawnedEventHook final : public QueuedEventHook {
public:
    SpawnedEventHook(std::string command, std::chrono::milliseconds timeLimit)
        : QueuedEventHook(std::move(command), timeLimit) {}
    ~SpawnedEventHook() override { (void)Finish(); }

private:
    bool Running() const override { return running_ > 0; }

    RunState Check() override {
        int status = 0;
        const pid_t ended = ::waitpid(running_, &status, WNOHANG);
        if (ended == 0) {
            return {};
        }
        if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
            return {true, "ended with status " + std::to_string(WEXITSTATUS(status))};
        }
        if (WIFSIGNALED(status)) {
            return {true, "ended by signal " + std::to_string(WTERMSIG(status))};
        }
        return {true, std::nullopt};
    }

    void Stop() override {
        // The whole group, while its leader is not reaped yet: its number
        // cannot have gone to another group meanwhile.
        ::kill(-running_, SIGKILL);
        int status = 0;
        ::waitpid(running_, &status, 0);
    }

    void Release() override { running_ = 0; }

    std::optional<std::string> Start(const HookEvent& event) override {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            return std::string(std::strerror(errno));
        }
        const UniqueFd reading(ends[0]);
        const UniqueFd writing(ends[1]);
        // Its own environment: ours, then the event's.
        std::vector<std::string> texts;
        for (char** variable = environ; *variable != nullptr; ++variable) {
            if (std::strncmp(*variable, "VARNOCK_", 8) != 0) {
                texts.emplace_back(*variable);
            }
        }
        for (const auto& [name, value] : event.environment) {
            texts.push_back(name + '=' + value);
        }
        std::vector<char*> environment;
        for (std::string& text : texts) {
            environment.push_back(text.data());
        }
        environment.push_back(nullptr);
        std::string program = Command();
        char* arguments[] = {program.data(), nullptr};

        // A group of its own (setpgid(0, 0) in the child). Out of the
        // terminal's foreground group, Ctrl+C reaches the watch, which ends
        // the run by its limit at the latest.
        posix_spawnattr_t attributes;
        ::posix_spawnattr_init(&attributes);
        ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        ::posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, reading.Get(), STDIN_FILENO);
        // Its output never mixes with the events on standard output.
        ::posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
        pid_t child = 0;
        const int error = ::posix_spawnp(&child, program.c_str(), &actions, &attributes, arguments,
                                         environment.data());
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
        if (error != 0) {
            return std::string(std::strerror(error));
        }
        running_ = child;
        // One event is far smaller than a pipe holds: this never blocks. A
        // command that does not read it is its own business.
        const std::string line = event.json + '\n';
        (void)!::write(writing.Get(), line.data(), line.size());
        return std::nullopt;
    }

    pid_t running_ = 0;
};

}  // namespace

std::unique_ptr<EventHook> MakeEventHook(const std::string& command,
                                         std::chrono::milliseconds timeLimit) {
    return std::make_unique<SpawnedEventHook>(command, timeLimit);
}

}  // namespace varnock::console
