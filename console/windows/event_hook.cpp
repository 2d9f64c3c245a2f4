// The Windows side of console/event_hook.h: CreateProcessW, a pipe for the
// event, and each run in a job object of its own. A run lasts until the
// command and everything it started have ended; the time limit and the end
// of the watch end them all, as a script's children (a `curl`, something
// started with `start /b`) would otherwise outlive it.

#include "console/event_hook.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <optional>
#include <variant>

#include "console/queued_event_hook.h"
#include "console/windows/hook_program.h"
#include "console/windows/unique_handle.h"

namespace varnock::console {
namespace {

// One event is far smaller than this: writing it never blocks. A command
// that does not read it is its own business.
constexpr DWORD kPipeSize = 64 * 1024;
// How long a stopped run's processes may take to be gone.
constexpr DWORD kStopWaitMilliseconds = 5000;

std::wstring WidenUtf8(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

// A variable's name: up to the first '=' after the first character (the
// per-drive folders' names, "=C:", begin with one).
std::wstring_view NameOf(const std::wstring& entry) {
    return std::wstring_view(entry).substr(0, entry.find(L'=', 1));
}

bool NameBefore(const std::wstring& left, const std::wstring& right) {
    const auto upper = [](wchar_t c) { return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c; };
    const std::wstring_view a = NameOf(left);
    const std::wstring_view b = NameOf(right);
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](wchar_t x, wchar_t y) { return upper(x) < upper(y); });
}

// Ours without any VARNOCK_ variable, then the event's, in the order
// Windows keeps a block: by name, without regard to case.
std::vector<wchar_t> EnvironmentBlock(const HookEvent& event) {
    std::vector<std::wstring> entries;
    const std::unique_ptr<wchar_t, decltype(&FreeEnvironmentStringsW)> ours(
        GetEnvironmentStringsW(), &FreeEnvironmentStringsW);
    for (const wchar_t* entry = ours.get(); entry != nullptr && *entry != L'\0';
         entry += std::wcslen(entry) + 1) {
        if (_wcsnicmp(entry, L"VARNOCK_", 8) != 0) {
            entries.emplace_back(entry);
        }
    }
    for (const auto& [name, value] : event.environment) {
        entries.push_back(WidenUtf8(name) + L'=' + WidenUtf8(value));
    }
    std::stable_sort(entries.begin(), entries.end(), NameBefore);
    std::vector<wchar_t> block;
    for (const std::wstring& entry : entries) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

// Where the command's output goes: a copy of our standard error that it
// inherits, or nowhere when we have none.
UniqueHandle InheritedStandardError() {
    HANDLE copy = nullptr;
    const HANDLE ours = GetStdHandle(STD_ERROR_HANDLE);
    if (ours != nullptr && ours != INVALID_HANDLE_VALUE &&
        DuplicateHandle(GetCurrentProcess(), ours, GetCurrentProcess(), &copy, 0, TRUE,
                        DUPLICATE_SAME_ACCESS)) {
        return UniqueHandle(copy);
    }
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return UniqueHandle(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    &inherited, OPEN_EXISTING, 0, nullptr));
}

std::string StatusText(DWORD status) {
    if (status < 0x80000000u) {
        return std::to_string(status);
    }
    // An NTSTATUS, such as 0xC0000005 for a crash: read in hexadecimal.
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(status));
    return hex;
}

// One run: the command's first process and the job that holds it and all
// it starts. Closing the job ends whatever is still in it.
struct Run {
    UniqueHandle job;
    UniqueHandle process;
};

class JobEventHook final : public QueuedEventHook {
public:
    JobEventHook(std::string command, std::chrono::milliseconds timeLimit)
        : QueuedEventHook(std::move(command), timeLimit) {}
    ~JobEventHook() override { (void)Finish(); }

private:
    bool Running() const override { return running_.has_value(); }

    RunState Check() override {
        if (!TreeEnded()) {
            return {};
        }
        if (DWORD status = 0; GetExitCodeProcess(running_->process.Get(), &status) && status != 0) {
            return {true, "ended with status " + StatusText(status)};
        }
        return {true, std::nullopt};
    }

    void Stop() override {
        TerminateJobObject(running_->job.Get(), 1);
        WaitForSingleObject(running_->process.Get(), kStopWaitMilliseconds);
    }

    void Release() override { running_.reset(); }

    // Whether nothing of the run is left: its first process and all that
    // it started.
    bool TreeEnded() const {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION counts{};
        if (QueryInformationJobObject(running_->job.Get(), JobObjectBasicAccountingInformation,
                                      &counts, sizeof counts, nullptr)) {
            return counts.ActiveProcesses == 0;
        }
        return WaitForSingleObject(running_->process.Get(), 0) == WAIT_OBJECT_0;
    }

    std::optional<std::string> Start(const HookEvent& event) override {
        const auto found = FindHookProgram(Command());
        if (const auto* problem = std::get_if<std::string>(&found)) {
            return *problem;
        }
        const HookProgram& program = std::get<HookProgram>(found);

        // Only the end it reads from is inherited.
        SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE readEnd = nullptr;
        HANDLE writeEnd = nullptr;
        if (!CreatePipe(&readEnd, &writeEnd, &inherited, kPipeSize)) {
            return WindowsErrorText(GetLastError());
        }
        const UniqueHandle reading(readEnd);
        const UniqueHandle writing(writeEnd);
        SetHandleInformation(writing.Get(), HANDLE_FLAG_INHERIT, 0);
        // Its output never mixes with the events on standard output.
        const UniqueHandle output = InheritedStandardError();

        // Closing the job's last handle ends what is in it: if this
        // process itself dies, so does the run.
        UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!job || !SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits,
                                             sizeof limits)) {
            return WindowsErrorText(GetLastError());
        }

        std::vector<wchar_t> environment = EnvironmentBlock(event);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = reading.Get();
        startup.hStdOutput = output.Get();
        startup.hStdError = output.Get();
        // Suspended until it is in the job, so that nothing it starts can
        // be outside. A process group of its own: a Ctrl+C meant for the
        // watch does not reach it (the watch's end stops it). Without a
        // console of ours (a scheduled task), it gets none that shows.
        DWORD flags = CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT | CREATE_NEW_PROCESS_GROUP;
        if (GetConsoleWindow() == nullptr) {
            flags |= CREATE_NO_WINDOW;
        }
        UniqueHandle process;
        UniqueHandle thread;
        const auto create = [&](DWORD more) {
            std::wstring commandLine = program.commandLine;
            PROCESS_INFORMATION created{};
            if (!CreateProcessW(program.application.c_str(), commandLine.data(), nullptr, nullptr,
                                TRUE, flags | more, environment.data(), nullptr, &startup,
                                &created)) {
                return GetLastError();
            }
            process = UniqueHandle(created.hProcess);
            thread = UniqueHandle(created.hThread);
            if (AssignProcessToJobObject(job.Get(), process.Get())) {
                return DWORD{ERROR_SUCCESS};
            }
            const DWORD error = GetLastError();
            TerminateProcess(process.Get(), 1);
            return error;
        };
        DWORD error = create(0);
        if (error == ERROR_ACCESS_DENIED) {
            // Before Windows 8 a process in a job (ours, as a scheduled
            // task's may be) cannot join another: it must leave ours, if
            // ours allows that.
            error = create(CREATE_BREAKAWAY_FROM_JOB);
        }
        if (error != ERROR_SUCCESS) {
            return WindowsErrorText(error);
        }
        ResumeThread(thread.Get());
        running_ = Run{std::move(job), std::move(process)};

        const std::string line = event.json + '\n';
        DWORD written = 0;
        (void)WriteFile(writing.Get(), line.data(), static_cast<DWORD>(line.size()), &written,
                        nullptr);
        return std::nullopt;
    }

    std::optional<Run> running_;
};

}  // namespace

std::unique_ptr<EventHook> MakeEventHook(const std::string& command,
                                         std::chrono::milliseconds timeLimit) {
    return std::make_unique<JobEventHook>(command, timeLimit);
}

}  // namespace varnock::console
