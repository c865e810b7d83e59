// libstdc++'s default handler for an uncaught exception prints the exception's
// demangled type to stderr, which a GUI program does not have, and links in
// the whole demangler (about 60 KB of the exe) to do so. This one ends the
// process the same way, without the message.
#include <cstdlib>

#if defined(__GLIBCXX__)
namespace __gnu_cxx {
// The library's own name for it, reserved because it is the library's.
void __verbose_terminate_handler() { std::abort(); }  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
}  // namespace __gnu_cxx
#endif
