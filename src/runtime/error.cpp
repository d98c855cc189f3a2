#include "runtime/error.h"

namespace rt {

std::string standardDescription(int32_t number) {
  switch (number) {
    case errInvalidProcedureCall: return "Invalid procedure call or argument";
    case errOverflow: return "Overflow";
    case errOutOfMemory: return "Out of memory";
    case errSubscriptOutOfRange: return "Subscript out of range";
    case errTypeMismatch: return "Type mismatch";
    case errDllNotLoaded: return "Error in loading DLL";
    case errBadFileNameOrNumber: return "Bad file name or number";
    case errFileNotFound: return "File not found";
    case errBadFileMode: return "Bad file mode";
    case errFileAlreadyOpen: return "File already open";
    case errFileAlreadyExists: return "File already exists";
    case errTooManyFiles: return "Too many files";
    case errPermissionDenied: return "Permission denied";
    case errPathFileAccess: return "Path/File access error";
    case errPathNotFound: return "Path not found";
    case errCannotCreateObject: return "ActiveX component can't create object";
    case errObjectDoesNotSupport: return "Object doesn't support this property or method";
    case errDllEntryNotFound: return "Specified DLL function not found";
    default: return "Application-defined or object-defined error";
  }
}

void raise(int32_t number, std::string description) {
  RuntimeError e;
  e.number = number;
  e.source = "CorvaneFileCleanup";
  e.description = description.empty() ? standardDescription(number) : std::move(description);
  throw e;
}

}  // namespace rt
