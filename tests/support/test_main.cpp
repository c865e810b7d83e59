#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include <gmock/gmock.h>

int main(int argc, char** argv) {
    // Plain "\n" line ends: CTest reads the test list from this output.
    _setmode(_fileno(stdout), _O_BINARY);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
