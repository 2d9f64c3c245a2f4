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
#include <deque>
#include <optional>

#include "lookup/linux/unique_fd.h"

extern char** environ;

namespace varnock::console {
namespace {

using Clock = std::chrono::steady_clock;
using linux_backend::UniqueFd;

class SpawnedEventHook final : public EventHook {
public:
    SpawnedEventHook(std::string command, std::chrono::milliseconds timeLimit)
        : command_(std::move(command)), timeLimit_(timeLimit) {}
    SpawnedEventHook(const SpawnedEventHook&) = delete;
    SpawnedEventHook& operator=(const SpawnedEventHook&) = delete;
    ~SpawnedEventHook() override { (void)Finish(); }

    void Queue(HookEvent event) override {
        if (waiting_.size() >= kMostWaiting) {
            ++dropped_;
            return;
        }
        waiting_.push_back(std::move(event));
    }

    std::vector<std::string> Advance() override {
        std::vector<std::string> reports;
        if (running_ > 0) {
            int status = 0;
            const pid_t ended = ::waitpid(running_, &status, WNOHANG);
            if (ended == 0 && Clock::now() < deadline_) {
                return reports;
            }
            if (ended == 0) {
                // The whole group, while its leader is not reaped yet: its
                // number cannot have gone to another group meanwhile.
                ::kill(-running_, SIGKILL);
                ::waitpid(running_, &status, 0);
                reports.push_back(Named("took longer than " + LimitText() + " and was stopped"));
            } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
                reports.push_back(
                    Named("ended with status " + std::to_string(WEXITSTATUS(status))));
            } else if (WIFSIGNALED(status)) {
                reports.push_back(Named("ended by signal " + std::to_string(WTERMSIG(status))));
            }
            running_ = 0;
        }
        if (dropped_ > 0) {
            reports.push_back(Named(std::to_string(dropped_) +
                                    " events were not given to it: too many were waiting"));
            dropped_ = 0;
        }
        if (!waiting_.empty()) {
            HookEvent next = std::move(waiting_.front());
            waiting_.pop_front();
            if (auto problem = Start(next)) {
                reports.push_back(Named(*problem));
            }
        }
        return reports;
    }

    bool Busy() const override { return running_ > 0 || !waiting_.empty(); }

    std::vector<std::string> Finish() override {
        std::vector<std::string> reports;
        dropped_ += waiting_.size();
        waiting_.clear();
        while (running_ > 0) {
            auto more = Advance();
            reports.insert(reports.end(), more.begin(), more.end());
            if (running_ > 0) {
                ::usleep(10'000);
            }
        }
        auto last = Advance();  // the count of those not run
        reports.insert(reports.end(), last.begin(), last.end());
        return reports;
    }

private:
    std::string LimitText() const {
        return timeLimit_.count() % 1000 == 0 ? std::to_string(timeLimit_.count() / 1000) + " s"
                                              : std::to_string(timeLimit_.count()) + " ms";
    }
    std::string Named(const std::string& what) const { return "--exec " + command_ + ": " + what; }

    std::optional<std::string> Start(const HookEvent& event) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            return std::string("cannot be started: ") + std::strerror(errno);
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
        std::string program = command_;
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
            return std::string("cannot be started: ") + std::strerror(error);
        }
        running_ = child;
        deadline_ = Clock::now() + timeLimit_;
        // One event is far smaller than a pipe holds: this never blocks. A
        // command that does not read it is its own business.
        const std::string line = event.json + '\n';
        (void)!::write(writing.Get(), line.data(), line.size());
        return std::nullopt;
    }

    std::string command_;
    std::chrono::milliseconds timeLimit_;
    std::deque<HookEvent> waiting_;
    std::size_t dropped_ = 0;
    pid_t running_ = 0;
    Clock::time_point deadline_{};
};

}  // namespace

std::unique_ptr<EventHook> MakeEventHook(const std::string& command,
                                         std::chrono::milliseconds timeLimit) {
    return std::make_unique<SpawnedEventHook>(command, timeLimit);
}

}  // namespace varnock::console
