// libstdc++'s default handler for an uncaught exception prints the exception's
// demangled type to stderr, which a GUI program does not have, and links in
// the whole demangler (about 60 KB of the exe) to do so. This one ends the
// process the same way, without the message.
#include <cstdlib>

#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
#endif
