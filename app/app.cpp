#include "app/app.h"

#include <commctrl.h>

#include <algorithm>

#include "app/ui_thread.h"

namespace app {

namespace {
constexpr UINT_PTR kFolderRefreshTimerEvent = 1;
constexpr UINT kFolderRefreshPeriodMs = 60000;
constexpr UINT_PTR kProgressTimerEvent = 2;
constexpr UINT kProgressPeriodMs = 200;

HINSTANCE moduleInstance = nullptr;
std::shared_ptr<Desktop> current;
UINT_PTR refreshTimer = 0;

// Work of the program before and around the desktop: the sign-in. Lives for
// the process, as its threads may outlive everything else.
Executor& ShellWork() {
    static Executor* work = new Executor(PostToUiThread);
    return *work;
}

VOID CALLBACK FolderRefreshTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    if (current) current->OnRefreshTick();
}

VOID CALLBACK ProgressTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    if (current) current->OnProgressTick();
}

// The progress timer as a thread timer of the user-interface thread.
class ThreadTimerClock : public ProgressClock {
public:
    void Start() override {
        // Without a window the system picks the timer's number itself.
        if (!timer_) timer_ = SetTimer(nullptr, kProgressTimerEvent, kProgressPeriodMs, ProgressTimerProc);
    }
    void Stop() override {
        if (timer_) KillTimer(nullptr, timer_);
        timer_ = 0;
    }

private:
    UINT_PTR timer_ = 0;
};

ThreadTimerClock progressClock;
}  // namespace

HINSTANCE ModuleInstance() {
    return moduleInstance ? moduleInstance : GetModuleHandleW(nullptr);
}

void SetModuleInstance(HINSTANCE instance) {
    moduleInstance = instance;
}

void InitialiseCommonControls() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
}

bool SignInAsync(const std::string& account, const std::string& password,
                 std::function<void(const SignInOutcome&)> done) {
    if (!PrepareUiThread()) return false;
    return ShellWork().Run(Lane::Own, [account, password, done = std::move(done)] {
        SignInOutcome outcome;
        outcome.account = std::make_shared<SignedInAccount>();
        outcome.outcome = OpenAccount(account, password, "", *outcome.account);
        if (!outcome.outcome.Ok()) outcome.account.reset();
        PostToUiThread([done, outcome] { done(outcome); });
    });
}

std::shared_ptr<Desktop> Start(SignedInAccount account) {
    PrepareUiThread();
    progressClock.Stop();
    current = Desktop::Create(std::move(account), PostToUiThread, progressClock);
    if (!refreshTimer)
        refreshTimer = SetTimer(nullptr, kFolderRefreshTimerEvent, kFolderRefreshPeriodMs, FolderRefreshTimerProc);
    return current;
}

bool Stop(std::chrono::milliseconds bound) {
    if (refreshTimer) KillTimer(nullptr, refreshTimer);
    refreshTimer = 0;
    progressClock.Stop();
    std::shared_ptr<Desktop> desktop = std::move(current);
    auto deadline = std::chrono::steady_clock::now() + bound;
    bool idle = true;
    if (desktop) idle = desktop->Finish(bound);
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return ShellWork().WaitIdle(std::max(left, std::chrono::milliseconds(0))) && idle;
}

}  // namespace app
