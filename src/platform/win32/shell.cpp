// The shell services on Windows: the shell's special folders, IShellLinkA
// shortcuts, MoveFileExA at the next restart, CreateProcessA, and real
// windows found with FindWindowA (docs/platform.md, docs/windows.md).
#include "platform/shell.h"

// clang-format off
#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>
#include <shobjidl.h>
// clang-format on

#include <atomic>
#include <string>

#include "platform/files.h"
#include "platform/system.h"

namespace platform::shell {

namespace {

// A path from the environment when it is absolute, else empty.
std::string absoluteEnv(const char* name) {
    std::optional<std::string> value = environment(name);
    if (!value || value->empty() || !isAbsolutePath(*value)) return std::string();
    std::string path = *value;
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    return path;
}

std::string shellFolder(int csidl) {
    char buffer[MAX_PATH + 1] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return std::string();
    return buffer;
}

// The string as UTF-16 in the ANSI code page's reading; empty when it fails.
std::wstring wideOf(const std::string& text) {
    if (text.empty()) return std::wstring();
    int length = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(), length);
    return wide;
}

// COM for the calling thread while it lives, when nobody started it before.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result_;
};

template <typename T>
void release(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

// --- windows ---

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Closing goes through the owner (the object), never through the default
    // handling, which would destroy the window under it.
    if (message == WM_CLOSE) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

class Win32Window final : public WindowClass {
public:
    Win32Window(HWND window, std::string className) : window_(window), className_(std::move(className)) {}
    ~Win32Window() override {
        DestroyWindow(window_);
        UnregisterClassA(className_.c_str(), GetModuleHandleA(nullptr));
    }

    // Runs the thread's message loop (the window belongs to the thread that
    // made it) until a message posted to the window arrives.
    std::optional<PostedMessage> wait(int timeoutMs) override {
        DWORD start = GetTickCount();
        while (true) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.hwnd == window_ && msg.message != WM_PAINT && msg.message != WM_TIMER &&
                    msg.message != WM_QUIT)
                    return PostedMessage{msg.message, uintptr_t(msg.wParam), intptr_t(msg.lParam)};
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            DWORD waitMs = INFINITE;
            if (timeoutMs >= 0) {
                DWORD elapsed = GetTickCount() - start;
                if (elapsed >= DWORD(timeoutMs)) return std::nullopt;
                waitMs = DWORD(timeoutMs) - elapsed;
            }
            DWORD woken = MsgWaitForMultipleObjects(0, nullptr, FALSE, waitMs, QS_ALLINPUT);
            if (woken == WAIT_TIMEOUT && timeoutMs >= 0) return std::nullopt;
            if (woken == WAIT_FAILED) return std::nullopt;
        }
    }

private:
    HWND window_;
    std::string className_;
};

// The first window of a class: a top-level one, else a message-only one.
HWND findWindow(std::string_view className) {
    if (className.empty()) return nullptr;
    std::string name(className);
    if (HWND window = FindWindowA(name.c_str(), nullptr)) return window;
    return FindWindowExA(HWND_MESSAGE, nullptr, name.c_str(), nullptr);
}

}  // namespace

bool initializeOle() { return SUCCEEDED(OleInitialize(nullptr)); }

std::string programPath() {
    std::string buffer(MAX_PATH, '\0');
    while (true) {
        DWORD n = GetModuleFileNameA(nullptr, buffer.data(), DWORD(buffer.size()));
        if (n == 0) return std::string();
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        if (buffer.size() >= 32768) return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

// The Windows system folder, where a real installation puts "\SYSTEM" files
// and the notifiers; BRIGHTFOLD_SYSTEM_DIR (an absolute path) stands for it in
// tests and sandboxes so that they never write there.
std::string systemFolder() {
    if (std::string folder = absoluteEnv("BRIGHTFOLD_SYSTEM_DIR"); !folder.empty()) {
        CreateDirectoryA(folder.c_str(), nullptr);
        return folder;
    }
    char buffer[MAX_PATH + 1] = {};
    UINT n = GetSystemDirectoryA(buffer, MAX_PATH);
    if (n == 0 || n > MAX_PATH) return std::string();
    return std::string(buffer, n);
}

std::string desktopFolder() { return shellFolder(CSIDL_DESKTOPDIRECTORY); }

std::string applicationDataFolder() { return shellFolder(CSIDL_APPDATA); }

std::string shortcutFileName(std::string_view name) { return std::string(name) + ".lnk"; }

long createShortcut(std::string_view targetPath, std::string_view linkPath, std::string_view description) {
    if (targetPath.empty() || linkPath.empty()) return long(E_INVALIDARG);
    std::string target(targetPath);
    std::wstring link = wideOf(std::string(linkPath));
    if (link.empty()) return long(E_INVALIDARG);
    ComScope com;
    IShellLinkA* shellLink = nullptr;
    IPersistFile* file = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      reinterpret_cast<void**>(&shellLink));
    if (SUCCEEDED(result)) result = shellLink->SetPath(target.c_str());
    if (SUCCEEDED(result) && !description.empty()) {
        // The shell keeps at most INFOTIPSIZE characters of a description.
        std::string text(description.substr(0, INFOTIPSIZE - 1));
        result = shellLink->SetDescription(text.c_str());
    }
    if (SUCCEEDED(result)) {
        if (size_t start = fileNameStart(target); start > 1)
            result = shellLink->SetWorkingDirectory(target.substr(0, start - 1).c_str());
    }
    if (SUCCEEDED(result))
        result = shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(result)) result = file->Save(link.c_str(), TRUE);
    release(file);
    release(shellLink);
    return SUCCEEDED(result) ? 0 : long(result);
}

bool deleteAtRestart(std::string_view path) {
    if (path.empty()) return false;
    std::string given(path);
    char full[MAX_PATH + 1] = {};
    DWORD n = GetFullPathNameA(given.c_str(), MAX_PATH, full, nullptr);
    if (n == 0 || n > MAX_PATH) return false;
    return MoveFileExA(full, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

// Windows carries out the marked deletions itself at the restart.
std::vector<std::string> carryOutPendingDeletions() { return {}; }

bool launchCommand(std::string_view commandLine) {
    if (commandLine.empty()) return false;
    std::string line(commandLine);  // CreateProcessA may write into it
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // No inherited handles; a console program gets no console window.
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool windowExists(std::string_view className) { return findWindow(className) != nullptr; }

bool postMessage(std::string_view className, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    HWND window = findWindow(className);
    return window && PostMessageA(window, message, WPARAM(wParam), LPARAM(lParam));
}

std::unique_ptr<WindowClass> WindowClass::create(std::string_view className) {
    if (className.empty() || className.size() > 255) return nullptr;
    std::string name(className);
    // One holder of a class at a time, as FindWindowA would find either.
    if (findWindow(name)) return nullptr;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = name.c_str();
    if (!RegisterClassA(&windowClass)) return nullptr;
    // A top-level window, never shown, as programs that play one have. Where
    // there is no desktop (Wine without a display) a message-only window
    // stands in; findWindow looks among those too.
    HWND window = CreateWindowExA(0, name.c_str(), name.c_str(), WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                  instance, nullptr);
    if (!window)
        window = CreateWindowExA(0, name.c_str(), name.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 instance, nullptr);
    if (!window) {
        UnregisterClassA(name.c_str(), instance);
        return nullptr;
    }
    return std::make_unique<Win32Window>(window, std::move(name));
}

}  // namespace platform::shell
