#pragma once
// Run-time errors carry the classic numbering, so reports and exit codes
// mean the same thing to support staff that they always have.
#include <cstdint>
#include <exception>
#include <string>

namespace rt {

enum ErrorNumber : int32_t {
  errInvalidProcedureCall = 5,
  errOverflow = 6,
  errOutOfMemory = 7,
  errSubscriptOutOfRange = 9,
  errTypeMismatch = 13,
  errDllNotLoaded = 48,
  errBadFileNameOrNumber = 52,
  errFileNotFound = 53,
  errBadFileMode = 54,
  errFileAlreadyOpen = 55,
  errFileAlreadyExists = 58,
  errTooManyFiles = 67,
  errPermissionDenied = 70,
  errPathFileAccess = 75,
  errPathNotFound = 76,
  errCannotCreateObject = 429,
  errObjectDoesNotSupport = 438,
  errDllEntryNotFound = 453,
};

struct RuntimeError : std::exception {
  int32_t number = 0;
  std::string source;
  std::string description;
  std::string helpFile;
  int32_t helpContext = 0;
  int32_t line = 0;  // numbered statement that failed, 0 when unknown
  bool reported = false;  // the user has seen it in a report and chose to pass it on

  const char* what() const noexcept override { return description.c_str(); }
};

// The standard text for a number, "Application-defined or object-defined error" otherwise.
std::string standardDescription(int32_t number);

// Throws a RuntimeError; an empty description takes the standard one.
[[noreturn]] void raise(int32_t number, std::string description = {});

}  // namespace rt
