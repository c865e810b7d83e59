#include "common/detached_thread.h"

#include <gtest/gtest.h>

#include <memory>

#include "common/scoped.h"

namespace {

// Workers are started one after another as the last one ends: each of them
// runs (a detached std::thread now and then never does, more often on a busy
// machine), and each lets go of its task once it has run. The waits are on
// events, not polls, so that 2,000 workers stay quick on a loaded machine.
TEST(DetachedThread, EveryWorkerStartedAsTheLastEndsRunsAndLetsGoOfItsTask) {
    const scoped_handle ran(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    const scoped_handle released(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    ASSERT_TRUE(ran && released);
    for (int run = 0; run < 2000; ++run) {
        // Its deleter tells that the task, the only owner, was destroyed.
        std::shared_ptr<void> release_signal(released.get(), [](HANDLE event) { SetEvent(event); });
        ASSERT_TRUE(start_detached_thread(
            [ran = ran.get(), signal = std::move(release_signal)]() noexcept { SetEvent(ran); }));
        ASSERT_EQ(WaitForSingleObject(ran.get(), 30000), WAIT_OBJECT_0) << "worker " << run << " never ran";
        ASSERT_EQ(WaitForSingleObject(released.get(), 30000), WAIT_OBJECT_0) << "worker " << run << " kept its task";
    }
}

}  // namespace
