#include "console/windows/hook_program.h"

#include <windows.h>

#include <cerrno>
#include <cwctype>
#include <memory>
#include <system_error>
#include <vector>

namespace varnock::console {
namespace {

std::wstring Widen(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::wstring Variable(const wchar_t* name) {
    std::vector<wchar_t> value(1024);
    for (;;) {
        const DWORD length =
            GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) {
            return {};
        }
        if (length < value.size()) {
            return std::wstring(value.data(), length);
        }
        value.resize(length);
    }
}

// The parts of a list apart as in PATH, without quotes around them.
std::vector<std::wstring> ListParts(const std::wstring& list) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(L';', start);
        if (end == std::wstring::npos) {
            end = list.size();
        }
        std::wstring part = list.substr(start, end - start);
        if (part.size() >= 2 && part.front() == L'"' && part.back() == L'"') {
            part = part.substr(1, part.size() - 2);
        }
        if (!part.empty()) {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    return parts;
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::wstring Lowered(std::wstring text) {
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return text;
}

// The file `name` names, in `folder` if one is given, as it is or with one
// of `extensions`; empty if none.
std::wstring Existing(const std::wstring& folder, const std::wstring& name,
                      const std::vector<std::wstring>& extensions) {
    std::wstring path = folder;
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') {
        path += L'\\';
    }
    path += name;
    if (extensions.empty()) {
        return IsFile(path) ? path : std::wstring();
    }
    for (const std::wstring& extension : extensions) {
        if (IsFile(path + extension)) {
            return path + extension;
        }
    }
    return {};
}

}  // namespace

std::variant<HookProgram, std::string> FindHookProgram(const std::string& command) {
    const std::string notFound = std::generic_category().message(ENOENT);
    const std::wstring name = Widen(command);
    if (name.empty()) {
        return notFound;
    }
    const std::size_t lastSeparator = name.find_last_of(L"\\/:");
    const std::wstring base =
        lastSeparator == std::wstring::npos ? name : name.substr(lastSeparator + 1);
    std::vector<std::wstring> extensions;
    if (base.find(L'.') == std::wstring::npos) {
        std::wstring pathExt = Variable(L"PATHEXT");
        extensions = ListParts(pathExt.empty() ? L".COM;.EXE;.BAT;.CMD" : pathExt);
    }

    std::wstring found;
    if (lastSeparator != std::wstring::npos) {
        found = Existing({}, name, extensions);
    } else {
        for (const std::wstring& folder : ListParts(Variable(L"PATH"))) {
            if (found = Existing(folder, name, extensions); !found.empty()) {
                break;
            }
        }
    }
    if (found.empty()) {
        return notFound;
    }
    // The full path, so that cmd.exe cannot take it for one of its own
    // commands.
    std::vector<wchar_t> full(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetFullPathNameW(found.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) {
            return WindowsErrorText(GetLastError());
        }
        if (length < full.size()) {
            found.assign(full.data(), length);
            break;
        }
        full.resize(length);
    }

    const std::wstring extension = Lowered(found.substr(found.find_last_of(L'.') + 1));
    if (extension != L"cmd" && extension != L"bat") {
        return HookProgram{found, L'"' + found + L'"'};
    }
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return WindowsErrorText(GetLastError());
    }
    // /d: none of the AutoRun commands meant for a person's cmd.exe; /s /c
    // with the quoted path in quotes of its own: cmd.exe takes off the outer
    // pair and keeps the path whole, whatever it holds.
    return HookProgram{std::wstring(system, length) + L"\\cmd.exe",
                       L"cmd.exe /d /s /c \"\"" + found + L"\"\""};
}

std::string WindowsErrorText(unsigned long error) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    const std::unique_ptr<char, decltype(&LocalFree)> owned(text, &LocalFree);
    std::string message = length > 0 ? std::string(text, length) : std::string();
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(error) : message;
}

}  // namespace varnock::console
