#include "platform/win32/rights.h"

#include <vector>

namespace win32 {
namespace {

bool isWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) { return IsWellKnownSid(sid, type) != FALSE; }

// The user of this process's token; empty when it cannot be read.
std::vector<BYTE> tokenUser() {
  std::vector<BYTE> user;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return user;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  user.resize(size);
  if (!size || !GetTokenInformation(token, TokenUser, user.data(), size, &size)) user.clear();
  CloseHandle(token);
  return user;
}

PSID sidOf(std::vector<BYTE>& user) {
  return user.empty() ? nullptr : reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
}

}  // namespace

// A run whose rights cannot be told counts as elevated: it then checks more.
bool elevatedRun() {
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof administrators;
  BOOL member = FALSE;
  if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) ||
      !CheckTokenMembership(nullptr, administrators, &member) || member)
    return true;
  std::vector<BYTE> user = tokenUser();
  const PSID sid = sidOf(user);
  return !sid || isWellKnown(sid, WinLocalSystemSid);
}

// Read from the handle itself: the security functions that take an object
// type load a library at their first call, which in the native view of a
// 32-bit program on 64-bit Windows would be the wrong one.
bool ownedByTrusted(HANDLE handle) {
  std::vector<BYTE> descriptor(256);
  DWORD needed = 0;
  while (!GetKernelObjectSecurity(handle, OWNER_SECURITY_INFORMATION, descriptor.data(),
                                  static_cast<DWORD>(descriptor.size()), &needed)) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= descriptor.size()) return false;
    descriptor.resize(needed);
  }
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted) || !owner) return false;
  std::vector<BYTE> user = tokenUser();
  const PSID self = sidOf(user);
  return isWellKnown(owner, WinBuiltinAdministratorsSid) || isWellKnown(owner, WinLocalSystemSid) ||
         (self && EqualSid(owner, self));
}

}  // namespace win32
