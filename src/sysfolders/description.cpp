// The words for each folder number: where such a folder typically lies and
// for whom. Fixed texts; nothing here looks at the running system.
#include <algorithm>
#include <iterator>

#include "guard/guard.h"
#include "sysfolders/csystemfolders.h"

namespace {

enum class Scope { AllUsers, CurrentUser, System, Virtual, None };

const char* suffix(Scope scope) {
  switch (scope) {
    case Scope::AllUsers:
      return " (all users)";
    case Scope::CurrentUser:
      return " (current user)";
    case Scope::System:
      return " (system)";
    case Scope::Virtual:
      return " (virtual)";
    case Scope::None:
      break;
  }
  return "";
}

struct Entry {
  int32_t csidl;
  const char* text;
  Scope scope;
};

// Paths that start with a backslash lie below the profile of the scope's user
// or users; "{username}" and "{LCID}" are written as they stand.
constexpr Entry kEntries[] = {
    {0x00, "Desktop", Scope::Virtual},                                           // CSIDL_DESKTOP
    {0x01, "Internet Explorer", Scope::Virtual},                                 // CSIDL_INTERNET
    {0x02, "\\Start Menu\\Programs", Scope::CurrentUser},                        // CSIDL_PROGRAMS
    {0x03, "My Computer\\Control Panel", Scope::Virtual},                        // CSIDL_CONTROLS
    {0x04, "My Computer\\Printers", Scope::Virtual},                             // CSIDL_PRINTERS
    {0x05, "\\My Documents", Scope::CurrentUser},                                // CSIDL_PERSONAL
    {0x06, "\\Favorites", Scope::CurrentUser},                                   // CSIDL_FAVORITES
    {0x07, "\\Start Menu\\Programs\\Startup", Scope::CurrentUser},               // CSIDL_STARTUP
    {0x08, "\\Recent", Scope::CurrentUser},                                      // CSIDL_RECENT
    {0x09, "\\SendTo", Scope::CurrentUser},                                      // CSIDL_SENDTO
    {0x0A, "Recycle Bin", Scope::Virtual},                                       // CSIDL_BITBUCKET
    {0x0B, "\\Start Menu", Scope::CurrentUser},                                  // CSIDL_STARTMENU
    {0x0C, "My Documents", Scope::Virtual},                                      // CSIDL_MYDOCUMENTS
    {0x0D, "\\My Documents\\My Music", Scope::CurrentUser},                      // CSIDL_MYMUSIC
    {0x0E, "\\My Documents\\My Video", Scope::CurrentUser},                      // CSIDL_MYVIDEO
    {0x10, "\\Desktop", Scope::CurrentUser},                                     // CSIDL_DESKTOPDIRECTORY
    {0x11, "My Computer", Scope::Virtual},                                       // CSIDL_DRIVES
    {0x12, "Network Neighborhood", Scope::Virtual},                              // CSIDL_NETWORK
    {0x13, "\\NetHood", Scope::CurrentUser},                                     // CSIDL_NETHOOD
    {0x14, "C:\\Windows\\Fonts", Scope::System},                                 // CSIDL_FONTS
    {0x15, "\\Templates", Scope::CurrentUser},                                   // CSIDL_TEMPLATES
    {0x16, "\\Start Menu", Scope::AllUsers},                                     // CSIDL_COMMON_STARTMENU
    {0x17, "\\Start Menu\\Programs", Scope::AllUsers},                           // CSIDL_COMMON_PROGRAMS
    {0x18, "\\Start Menu\\Programs\\Startup", Scope::AllUsers},                  // CSIDL_COMMON_STARTUP
    {0x19, "\\Desktop", Scope::AllUsers},                                        // CSIDL_COMMON_DESKTOPDIRECTORY
    {0x1A, "\\Application Data", Scope::CurrentUser},                            // CSIDL_APPDATA
    {0x1B, "\\PrintHood", Scope::CurrentUser},                                   // CSIDL_PRINTHOOD
    {0x1C, "\\Local Settings\\Application Data", Scope::CurrentUser},            // CSIDL_LOCAL_APPDATA
    {0x1D, "Nonlocalized Startup group", Scope::CurrentUser},                    // CSIDL_ALTSTARTUP
    {0x1E, "Nonlocalized Startup group", Scope::AllUsers},                       // CSIDL_COMMON_ALTSTARTUP
    {0x1F, "\\Favorites", Scope::AllUsers},                                      // CSIDL_COMMON_FAVORITES
    {0x20, "\\Temporary Internet Files", Scope::CurrentUser},                    // CSIDL_INTERNET_CACHE
    {0x21, "\\Cookies", Scope::CurrentUser},                                     // CSIDL_COOKIES
    {0x22, "\\Local Settings\\History", Scope::CurrentUser},                     // CSIDL_HISTORY
    {0x23, "\\Application Data", Scope::AllUsers},                               // CSIDL_COMMON_APPDATA
    {0x24, "C:\\Windows", Scope::System},                                        // CSIDL_WINDOWS
    {0x25, "C:\\Windows\\System", Scope::System},                                // CSIDL_SYSTEM
    {0x26, "C:\\Program Files", Scope::System},                                  // CSIDL_PROGRAM_FILES
    {0x27, "\\My Documents\\My Pictures", Scope::CurrentUser},                   // CSIDL_MYPICTURES
    {0x28, "\\{username}", Scope::CurrentUser},                                  // CSIDL_PROFILE
    {0x29, "x86 system directory on RISC", Scope::None},                         // CSIDL_SYSTEMX86
    {0x2A, "x86 Program Files folder on RISC", Scope::None},                     // CSIDL_PROGRAM_FILESX86
    {0x2B, "C:\\Program Files\\Common", Scope::System},                          // CSIDL_PROGRAM_FILES_COMMON
    {0x2C, "x86 Program Files Common folder on RISC", Scope::None},              // CSIDL_PROGRAM_FILES_COMMONX86
    {0x2D, "\\Templates", Scope::AllUsers},                                      // CSIDL_COMMON_TEMPLATES
    {0x2E, "\\Documents", Scope::AllUsers},                                      // CSIDL_COMMON_DOCUMENTS
    {0x2F, "\\Start Menu\\Programs\\Administrative Tools", Scope::AllUsers},     // CSIDL_COMMON_ADMINTOOLS
    {0x30, "\\Start Menu\\Programs\\Administrative Tools", Scope::CurrentUser},  // CSIDL_ADMINTOOLS
    {0x31, "Network and Dial-up Connections", Scope::None},                      // CSIDL_CONNECTIONS
    {0x35, "\\Documents\\My Music", Scope::AllUsers},                            // CSIDL_COMMON_MUSIC
    {0x36, "\\Documents\\My Pictures", Scope::AllUsers},                         // CSIDL_COMMON_PICTURES
    {0x37, "\\Documents\\My Video", Scope::AllUsers},                            // CSIDL_COMMON_VIDEO
    {0x38, "C:\\Windows\\Resources", Scope::System},                             // CSIDL_RESOURCES
    {0x39, "C:\\Windows\\Resources\\{LCID}", Scope::System},                     // CSIDL_RESOURCES_LOCALIZED
    {0x3A, "Links to OEM specific apps", Scope::AllUsers},                       // CSIDL_COMMON_OEM_LINKS
    {0x3B, "\\Local Settings\\Application Data\\Microsoft\\CD Burning", Scope::CurrentUser},  // CSIDL_CDBURN_AREA
    {0x3D, "Computers Near Me", Scope::Virtual},                                              // CSIDL_COMPUTERSNEARME
    {0x8000,
     "Combine with any other CSIDL to force "
     "the creation of the associated folder.",
     Scope::None},  // CSIDL_FLAG_CREATE
};
static_assert(std::size(kEntries) == 58);

}  // namespace

std::string CSystemFolders::Description(int32_t CSIDL) const {
  std::string result;
  std::string sRtn;
  guard::Guarded g{"CSystemFolders", "Description[Property Get]",
                   [&] { return guard::dump("CSIDL", rt::int32(CSIDL)); }, [&] { return guard::dump("sRtn", sRtn); },
                   [this] { DumpModuleVariables(); }};
  g.body([&] {
    // The exact number: a folder combined with the create flag is no entry of its own.
    g(100, [&] {
      const auto* entry =
          std::find_if(std::begin(kEntries), std::end(kEntries), [&](const Entry& e) { return e.csidl == CSIDL; });
      sRtn = entry == std::end(kEntries) ? std::string("{unknown constant}")
                                         : std::string(entry->text) + suffix(entry->scope);
    });
    g(101, [&] { result = sRtn; });
  });
  return result;
}
