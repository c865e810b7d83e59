// A download that runs out of memory ends as failed, without a crash. This
// program replaces the global allocator so that a test can make it refuse
// large blocks, as a full 32-bit address space would.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "net/deadline_fetch.h"
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

// The whole announced body is reserved at once, before it is asked for.
TEST(OutOfMemory, NoRoomForTheAnnouncedBodyFailsTheDownloadBeforeItsRequest) {
    const std::string path = test_path("OmBry64.exe");
    serve(path, patterned_bytes(3 << 20));
    data_response_t response;
    transfer_report_t report;
    bool complete = true;
    {
        const refusing_blocks_above guard(1 << 20);
        complete = download_to_memory(host_url(path).c_str(), response, &report);
    }
    EXPECT_FALSE(complete);
    EXPECT_TRUE(report.out_of_memory);
    EXPECT_TRUE(response.data.empty());
    EXPECT_EQ(requests_to(path).size(), 1u);

    // Once memory is back the same record serves a whole download.
    EXPECT_TRUE(download_to_memory(host_url(path).c_str(), response));
    EXPECT_EQ(response.data.size(), 3u << 20);
}

// No room for a copy of the address, for the fetching thread's state or for
// the wide URL it makes: a failed fetch, never an exception out of it.
TEST(OutOfMemory, NoRoomForTheAddressOrTheFetchingThreadFailsTheFetch) {
    const std::string path = test_path("cversion.txt");
    serve(path, "251\n");
    // Room for the address as it is, not for it made wide.
    const std::string url = host_url(path) + "?" + std::string(200, 'q');
    data_response_t response;
    std::vector<char> bytes;
    transfer_report_t report;
    bool fetched[3] = {true, true, true};
    {
        const refusing_blocks_above guard(url.size() + 100);
        fetched[0] = download_to_memory(url.c_str(), response);
        fetched[1] = fetch_version_file(url.c_str(), bytes);
    }
    {
        const refusing_blocks_above guard(64);
        fetched[2] = fetch_version_file(url.c_str(), bytes, &report);
    }
    EXPECT_FALSE(fetched[0]);
    EXPECT_FALSE(fetched[1]);
    EXPECT_FALSE(fetched[2]);
    EXPECT_TRUE(report.out_of_memory);
    // The control: with memory, the same address is fetched.
    EXPECT_TRUE(fetch_version_file(url.c_str(), bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "251\n");
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
