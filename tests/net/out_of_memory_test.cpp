// A download that runs out of memory ends as failed, without a crash. This
// program replaces the global allocator so that a test can make it refuse
// large blocks, as a full 32-bit address space would.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "net/https.h"
#include "release_host.h"

namespace {

std::atomic<std::size_t> refuse_blocks_above{0};  // 0: refuse nothing

void* allocate(std::size_t size) {
    const std::size_t limit = refuse_blocks_above;
    if (limit != 0 && size > limit) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

struct refusing_blocks_above {
    explicit refusing_blocks_above(std::size_t limit) { refuse_blocks_above = limit; }
    ~refusing_blocks_above() { refuse_blocks_above = 0; }
};

}  // namespace

// These replace the program's allocator as a pair: blocks from malloc go back
// with free. GCC matches operator new with free by name alone and objects.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    if (void* block = allocate(size)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace {

TEST(OutOfMemory, TheGrowingBodyFailsTheDownload) {
    const std::string path = test_path("OmBry64.exe");
    serve(path, patterned_bytes(3 << 20));
    data_response_t response;
    bool complete = true;
    {
        const refusing_blocks_above guard(1 << 20);
        complete = download_to_memory(host_url(path).c_str(), response);
    }
    EXPECT_FALSE(complete);
    EXPECT_GT(response.data.size(), 0u);
    EXPECT_LE(response.data.size(), 1u << 20);
    EXPECT_EQ(std::string(response.data.begin(), response.data.end()), patterned_bytes(response.data.size()));

    // Once memory is back the same record serves a whole download.
    EXPECT_TRUE(download_to_memory(host_url(path).c_str(), response));
    EXPECT_EQ(response.data.size(), 3u << 20);
}

TEST(OutOfMemory, NoRoomForAChunkFailsTheDownload) {
    const std::string path = test_path("OmBry64.exe");
    serve(path, patterned_bytes(100000));
    data_response_t response;
    bool complete = true;
    {
        const refusing_blocks_above guard(1000);
        complete = download_to_memory(host_url(path).c_str(), response);
    }
    EXPECT_FALSE(complete);
    EXPECT_TRUE(response.data.empty());
}

}  // namespace
