// What std::terminate calls. The library's default first writes the pending
// exception's type, demangled, to the standard error, which a GUI program
// does not have; its demangler and formatted output would be a sixth of the
// executable. The ending is the same: abort.
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
