#pragma once
// A worker that nobody waits for: the fetch that a deadline gives up on, the
// download that a cancelled dialog leaves.
#include <windows.h>

#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace detached_thread_detail {

template <class Task>
DWORD WINAPI run(void* task) {
    const std::unique_ptr<Task> owned(static_cast<Task*>(task));
    (*owned)();
    return 0;
}

}  // namespace detached_thread_detail

// Runs task on a thread of its own, which owns it; false when no thread
// could be started (the task is then dropped unrun). A thread of the
// system's, not a detached std::thread: MinGW-w64's winpthreads now and then
// never runs a detached thread that is started as an earlier one ends (seen
// under Wine about once in a thousand starts on a busy machine), and these
// workers are started one after another.
template <class Task>
bool start_detached_thread(Task&& task) noexcept {
    using task_t = std::decay_t<Task>;
    static_assert(std::is_nothrow_invocable_v<task_t&>, "nothing may escape a worker");
    static_assert(std::is_nothrow_constructible_v<task_t, Task&&>, "pass the task as an rvalue");
    task_t* const owned = new (std::nothrow) task_t(std::forward<Task>(task));
    if (owned == nullptr) return false;
    const HANDLE thread = CreateThread(nullptr, 0, &detached_thread_detail::run<task_t>, owned, 0, nullptr);
    if (thread == nullptr) {
        delete owned;
        return false;
    }
    CloseHandle(thread);
    return true;
}
