// What std::terminate calls unless told otherwise: abort at once. libstdc++'s own
// handler of this name first prints the type of the uncaught exception to a console,
// which a window program does not have, and brings its C++ name demangler (a fifth of
// the exe) along; defined here, theirs stays out of the link.
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
