#pragma once
// The functions of ole32 and oleaut32 the program uses. COM serves only the
// error report's automation object and one special-folder fallback, so the
// libraries are loaded at the first call of one of them, never in an
// ordinary run. Each function is looked up by name with GetProcAddress: the
// call goes straight to the address the system gives, with the type the
// system headers declare, and no table filled by the linker or a helper
// stands between (the 32-bit linker left the delay-load one empty, and every
// call jumped to address 0).
#include <windows.h>
// oleauto.h needs windows.h before it.
#include <oleauto.h>

namespace win32::com {

// The address of `name` in `library`, which is loaded at the first request
// and kept for the life of the program. Raises 48 when the library cannot be
// loaded, 453 when it lacks the function.
void* bind(const char* library, const char* name);

template <class Function>
class LateBound {
 public:
  constexpr LateBound(const char* library, const char* name) : library_(library), name_(name) {}

  template <class... Args>
  auto operator()(Args&&... args) const {
    if (!function_) function_ = reinterpret_cast<Function*>(bind(library_, name_));
    return function_(static_cast<Args&&>(args)...);
  }

 private:
  const char* library_;
  const char* name_;
  mutable Function* function_ = nullptr;
};

// Named once: the system's declaration gives the type, calling convention included.
#define CORVANE_LATE_BOUND(library, function) \
  inline LateBound<decltype(::function)> function { library, #function }

CORVANE_LATE_BOUND("ole32.dll", CoInitializeEx);
CORVANE_LATE_BOUND("ole32.dll", CLSIDFromProgID);
CORVANE_LATE_BOUND("ole32.dll", CoCreateInstance);
CORVANE_LATE_BOUND("ole32.dll", CoTaskMemFree);
CORVANE_LATE_BOUND("oleaut32.dll", VariantInit);
CORVANE_LATE_BOUND("oleaut32.dll", VariantClear);
CORVANE_LATE_BOUND("oleaut32.dll", VariantChangeType);
CORVANE_LATE_BOUND("oleaut32.dll", SysAllocStringLen);
CORVANE_LATE_BOUND("oleaut32.dll", SysFreeString);
CORVANE_LATE_BOUND("oleaut32.dll", SafeArrayCreateVector);
CORVANE_LATE_BOUND("oleaut32.dll", SafeArrayPutElement);
CORVANE_LATE_BOUND("oleaut32.dll", SystemTimeToVariantTime);

#undef CORVANE_LATE_BOUND

}  // namespace win32::com
