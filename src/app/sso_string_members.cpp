// The members of std::string that libstdc++'s own objects call and that the
// program's code does not happen to instantiate itself: std::system_error
// (system_error.o) and the strings that hand messages between the two ABIs
// (sso_string.o). Defined here, these two are all that the exe gets; otherwise
// the linker takes the library's string-inst.o for them, which, as the unwind
// table of an object keeps all of its functions, brings every member of
// std::string (32 KB of the i686 exe).
//
// The same templates from the same headers as the library's copy, so the same
// code; the list is what libstdc++ 12 leaves undefined there
// (i686-w64-mingw32-nm -u). With another release of the library this compiles
// to nothing, and the library's object is linked as before. See also
// cow_string_members.cpp.
#include <string>

#if defined(__GLIBCXX__) && _GLIBCXX_RELEASE == 12 && _GLIBCXX_USE_CXX11_ABI
template void std::string::_M_assign(const std::string&);
template char* std::string::_M_create(size_type&, size_type);
#endif
