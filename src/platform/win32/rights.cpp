#include "platform/win32/rights.h"

#include <aclapi.h>

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

bool elevatedRun() {
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof administrators;
  BOOL member = FALSE;
  if (CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
      CheckTokenMembership(nullptr, administrators, &member) && member)
    return true;
  std::vector<BYTE> user = tokenUser();
  const PSID sid = sidOf(user);
  return sid && isWellKnown(sid, WinLocalSystemSid);
}

bool ownedByTrusted(HANDLE handle) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS)
    return false;
  std::vector<BYTE> user = tokenUser();
  const PSID self = sidOf(user);
  const bool trusted = owner && (isWellKnown(owner, WinBuiltinAdministratorsSid) ||
                                 isWellKnown(owner, WinLocalSystemSid) || (self && EqualSid(owner, self)));
  LocalFree(descriptor);
  return trusted;
}

}  // namespace win32
