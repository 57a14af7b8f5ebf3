#include <windows.h>

#include <array>
#include <atomic>
#include <utility>

#include "conversion/stop/stoppable_waits.h"

namespace routalo {
namespace {

// A stop ends the waits of these threads: the main thread's, whose reads
// and opens may wait for a pipe, and the writer threads'. CancelSynchronousIo
// ends a wait in a read, a write or an open of a pipe.
constexpr std::size_t kMostThreads = 8;
std::array<std::atomic<HANDLE>, kMostThreads> stoppableThreads{};

void AddStoppableThread(HANDLE thread) {
    for (std::atomic<HANDLE>& slot : stoppableThreads) {
        HANDLE empty = nullptr;
        if (slot.compare_exchange_strong(empty, thread)) {
            return;
        }
    }
    ::CloseHandle(thread);  // more threads than slots: this one waits unwoken
}

void RemoveStoppableThread(DWORD id) {
    for (std::atomic<HANDLE>& slot : stoppableThreads) {
        HANDLE thread = slot.load();
        if (thread != nullptr && ::GetThreadId(thread) == id &&
            slot.compare_exchange_strong(thread, nullptr)) {
            ::CloseHandle(thread);
            return;
        }
    }
}

HANDLE CurrentThread() {
    HANDLE thread = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &thread,
                      0, FALSE, DUPLICATE_SAME_ACCESS);
    return thread;
}

}  // namespace

void PrepareStoppableWaits() {
    AddStoppableThread(CurrentThread());
}

void WakeStoppableWaits() noexcept {
    for (std::atomic<HANDLE>& slot : stoppableThreads) {
        if (const HANDLE thread = slot.load(); thread != nullptr) {
            ::CancelSynchronousIo(thread);
        }
    }
}

// Writes on Windows wait inside WriteFile, which CancelSynchronousIo ends:
// they never ask to wait here.
bool WaitUntilWritable(std::intptr_t /*handle*/,
                       std::chrono::steady_clock::time_point& /*giveUpAt*/) {
    return false;
}

std::thread StartStoppableThread(std::function<void()> run) {
    return std::thread([run = std::move(run)] {
        AddStoppableThread(CurrentThread());
        run();
        RemoveStoppableThread(::GetCurrentThreadId());
    });
}

}  // namespace routalo
