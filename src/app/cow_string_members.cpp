// The members of the reference-counted std::string of libstdc++'s old ABI that
// the library's own exception classes call: std::logic_error and its kin keep
// their message in one (cow-stdexcept.o), and every program that can throw one
// links them. Defined here, these few are all that the exe gets; otherwise the
// linker takes the library's cow-string-inst.o for them, which, as the unwind
// table of an object keeps all of its functions, brings the whole old-ABI
// string (30 KB of the i686 exe) and, through it, std::random_device and the
// new-ABI string-inst.o (another 32 KB).
//
// The same templates from the same headers as the library's copy, so the same
// code; the list is what libstdc++ 12's cow-stdexcept.o and stdexcept.o leave
// undefined (i686-w64-mingw32-nm -u). With another release of the library this
// compiles to nothing, and the library's objects are linked as before.

// Selects the old ABI for this file alone, as the library's own sources do.
#define _GLIBCXX_USE_CXX11_ABI 0  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)

#include <string>

#if defined(__GLIBCXX__) && _GLIBCXX_RELEASE == 12 && !_GLIBCXX_USE_CXX11_ABI
template void std::string::swap(std::string&);
template std::string& std::string::assign(const std::string&);
template char* std::string::_S_construct(size_type, char, const std::allocator<char>&);
template std::string::_Rep* std::string::_Rep::_S_create(size_type, size_type, const std::allocator<char>&);
template char* std::string::_Rep::_M_clone(const std::allocator<char>&, size_type);
template void std::string::_Rep::_M_dispose(const std::allocator<char>&);
template void std::string::_Rep::_M_destroy(const std::allocator<char>&);
// The shared empty string, which the members above compare against; the
// library's headers declare it as defined in the library.
template std::string::size_type std::string::_Rep::_S_empty_rep_storage[];
#endif
