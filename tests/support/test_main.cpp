#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>

#include <gmock/gmock.h>

#include "test_env.h"

int main(int argc, char** argv) {
    // The harness's sign that the program got this far: a start that failed
    // before it ran nothing of the test (tests/harness/run-wine-program).
    if (const char* started = std::getenv("OMBUP_TEST_STARTED"); started != nullptr && *started != '\0') {
        const scoped_file mark(CreateFileW(windows_path(started).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    // Plain "\n" line ends: CTest reads the test list from this output.
    _setmode(_fileno(stdout), _O_BINARY);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
