#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <gmock/gmock.h>

#include "test_env.h"

namespace {

// Tells the harness how far the program got (tests/harness/run-wine-program):
// a start that failed before "started" ran nothing of the test, and a process
// that is killed after "ended" has given its result already.
void mark_progress(const char* state) {
    const char* const file = std::getenv("OMBUP_TEST_STARTED");
    if (file == nullptr || *file == '\0') return;
    const scoped_file mark(CreateFileW(windows_path(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (mark) WriteFile(mark.get(), state, static_cast<DWORD>(std::strlen(state)), &written, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    mark_progress("started\n");
    // Plain "\n" line ends: CTest reads the test list from this output.
    _setmode(_fileno(stdout), _O_BINARY);
    testing::InitGoogleMock(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::fflush(stdout);
    mark_progress(result == 0 ? "ended 0\n" : "ended 1\n");
    return result;
}
