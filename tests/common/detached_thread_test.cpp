#include "common/detached_thread.h"

#include <gtest/gtest.h>

#include <memory>

#include "common/scoped.h"
#include "test_env.h"

namespace {

// Workers are started one after another as the last one ends: each of them
// runs (a detached std::thread now and then never does, more often on a busy
// machine), and each lets go of its task once it has run.
TEST(DetachedThread, EveryWorkerStartedAsTheLastEndsRunsAndLetsGoOfItsTask) {
    for (int run = 0; run < 2000; ++run) {
        const auto done = std::make_shared<scoped_handle>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(*done);
        ASSERT_TRUE(start_detached_thread([done]() noexcept { SetEvent(done->get()); }));
        ASSERT_EQ(WaitForSingleObject(done->get(), 30000), WAIT_OBJECT_0) << "worker " << run << " never ran";
        ASSERT_TRUE(wait_until([&] { return done.use_count() == 1; })) << "worker " << run << " kept its task";
    }
}

}  // namespace
