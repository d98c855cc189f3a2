#pragma once
// The operating system as the core sees it, doubled in one object, enough to
// run Main up to its windows: folders that exist, the log in memory, a fixed
// command line and clock, scripted message boxes, the windows shown, and a
// shell that knows the all-users application-data folder.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "guard/guard.h"
#include "guard/unattended.h"
#include "platform/platform.h"
#include "startup/globals.h"
#include "ui/controls.h"
#include "ui/layouts.h"

namespace doubles {

// What ending the program throws here instead of leaving the process.
struct ProgramEnded {
  int exitCode;
};

class World final : public platform::FileSystem, public platform::TextFiles, public platform::Process,
                    public platform::Desktop, public platform::Libraries, public platform::SpecialFolders,
                    public ui::WindowHost {
 public:
  std::string commandLine, appPath = "C:\\App";
  std::string appData = "C:\\ProgramData";  // the folder-path query's answer; empty: it fails
  std::string localAppData;                // the account's own; empty: it fails
  rt::DateTime now{2026, 12, 6, 8, 40, 5};
  std::deque<int> answers;         // to the message boxes; 0 (no button) past the end
  std::vector<std::string> boxes;  // flags and prompt
  std::vector<std::string> shown;  // windows by name, "!" after a modal one
  std::map<std::string, std::string> files;  // what was written, by path
  int writes = 0;

  World() {
    platform::install({this, this, this, this, this, this});
    ui::install(this);
    gstr_skip.clear(), gstr_drive.clear(), gi_trace_num = 0;
    guard::setReporter(nullptr), guard::beginUnattended(nullptr);
  }
  ~World() override { platform::install({}), ui::install(nullptr); }
  // A linked folder exists, but nothing below it is written through; nor in an unwritable one, nor made there.
  void addFolder(const std::string& path, bool linked = false, bool unwritable = false) {
    folders_.insert(key(path));
    if (linked || unwritable) barred_.insert(key(path) + "\\");
  }
  // The lines of the first file written, without their CR LF; an unfinished one is marked.
  std::vector<std::string> log() const {
    std::vector<std::string> lines;
    const std::string text = files.empty() ? std::string() : files.begin()->second;
    std::size_t at = 0;
    for (auto end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", at = end + 2))
      lines.push_back(text.substr(at, end - at));
    if (at < text.size()) lines.push_back("unfinished: " + text.substr(at));
    return lines;
  }

  // What a search finds: a file, or a folder when `attributes` say so, with its reparse tag.
  void addEntry(const std::string& path, uint32_t attributes = 0, uint32_t tag = 0) {
    auto& entry = entries_[key(path)];
    entry.dwFileAttributes = attributes, entry.dwReserved0 = tag;
    std::snprintf(entry.cFileName, sizeof entry.cFileName, "%s", path.substr(path.rfind('\\') + 1).c_str());
  }
  // The entries of one folder, in name order: all for "*", else the one of that name.
  platform::SearchHandle FindFirstFileA(const std::string& pattern, platform::FindData& data) override {
    const std::string folder = upper(pattern.substr(0, pattern.rfind('\\') + 1)), name = pattern.substr(folder.size());
    auto& found = searches_.emplace_back();
    for (const auto& [path, entry] : entries_)
      if (path.starts_with(folder) && path.find('\\', folder.size()) == std::string::npos &&
          (name == "*" || path == folder + upper(name)))
        found.push_back(entry);
    const auto search = platform::SearchHandle(searches_.size() - 1);
    return FindNextFileA(search, data) ? search : platform::kInvalidSearchHandle;
  }
  bool FindNextFileA(platform::SearchHandle search, platform::FindData& data) override {
    auto& found = searches_.at(std::size_t(search));
    if (found.empty()) return false;
    data = found.front();
    found.pop_front();
    return true;
  }
  bool FindClose(platform::SearchHandle) override { return true; }
  uint32_t GetFileAttributesA(const std::string& path) override {
    if (const auto entry = entries_.find(key(path)); entry != entries_.end()) return entry->second.dwFileAttributes;
    return folders_.count(key(path)) || key(path) == key(appPath) ? platform::kAttrDirectory
                                                                    : platform::kInvalidAttributes;
  }
  void Kill(const std::string&, const std::string&) override { rt::raise(rt::errFileNotFound); }
  // Nothing is kept here: keeping and restoring are the Win32 adapter's, tested end to end.
  void BeginKeeping(const std::string&) override {}
  std::vector<platform::KeptFile> KeptFiles(const std::string&, bool) override { return {}; }
  void Restore(const platform::KeptFile&) override {}
  bool KeepsForAdministrators() override { return false; }
  void MkDir(const std::string& path) override {
    if (!Appendable(path + "\\")) rt::raise(rt::errPathFileAccess);
    folders_.insert(key(path));
  }

  bool IsOpen(int number) const override { return open_.count(number) != 0; }
  void Open(int number, const std::string& path, Mode mode) override {
    if (IsOpen(number)) rt::raise(rt::errFileAlreadyOpen);
    if (mode == Mode::Input && !files.count(path)) rt::raise(rt::errFileNotFound);
    if (mode == Mode::Append && !Appendable(path)) rt::raise(rt::errPathFileAccess);
    files[path];
    open_[number] = path;
  }
  void WriteLine(int number, std::string_view text) override {
    if (!IsOpen(number)) rt::raise(rt::errBadFileNameOrNumber);
    files[open_[number]].append(text).append("\r\n");
    ++writes;
  }
  bool Appendable(const std::string& path) override {
    return std::none_of(barred_.begin(), barred_.end(), [&](auto& link) { return key(path).starts_with(link); });
  }
  void Close(int number) override { open_.erase(number); }
  void CloseAll() override { open_.clear(); }

  std::string CommandLine() override { return commandLine; }
  std::string AppPath() override { return appPath; }
  std::string AppTitle() override { return "CorvaneFileCleanup"; }
  rt::DateTime Now() override { return now; }
  std::string ShortDate(const rt::DateTime& d) override {
    return std::to_string(d.month) + "/" + std::to_string(d.day) + "/" + std::to_string(d.year);
  }
  std::string LongTime(const rt::DateTime& d) override {
    char text[16];
    std::snprintf(text, sizeof text, "%d:%02d:%02d", d.hour, d.minute, d.second);
    return text;
  }
  std::string UCase(std::string_view text) override { return upper(text); }
  [[noreturn]] void Exit(int exitCode) override { throw ProgramEnded{exitCode}; }

  int MsgBox(const std::string& prompt, int flags, const std::string&) override {
    boxes.push_back(std::to_string(flags) + " " + prompt);
    if (answers.empty()) return 0;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void DoEvents() override {}
  void SetMousePointer(int) override {}

  void Show(ui::Form& form, bool modal) override { shown.push_back(form.Layout().name + std::string(modal ? "!" : "")); }
  void RunHidden(ui::Form& form) override { shown.push_back(form.Layout().name + std::string(" unseen")); }
  void Refresh(ui::Form&) override {}

  // The loader offers "shfolder" with its folder-path query, which knows folders 35 and 28 only.
  platform::ModuleHandle GetModuleHandleA(const std::string&) override { return 0; }
  platform::ModuleHandle LoadLibraryA(const std::string&) override { return 1; }
  platform::ProcAddress GetProcAddress(platform::ModuleHandle, const std::string&) override { return 1; }
  bool FreeLibrary(platform::ModuleHandle) override { return true; }
  platform::HResult SHGetFolderPathA(intptr_t, int32_t folder, intptr_t, uint32_t, char* path) override {
    const int32_t which = folder & ~platform::kCsidlFlagCreate;
    const std::string answer = which == 35 ? appData : which == 0x1C ? localAppData : "";
    if (answer.empty()) return platform::kEInvalidArg;
    std::memcpy(path, answer.c_str(), answer.size() + 1);
    return platform::kSOk;
  }
  platform::HResult SHGetSpecialFolderLocation(intptr_t, int32_t, platform::ItemIdList&) override {
    return platform::kEInvalidArg;
  }
  bool SHGetPathFromIDListA(platform::ItemIdList, char*) override { return false; }
  void CoTaskMemFree(platform::ItemIdList) override {}
  uint32_t GetSystemDirectoryA(char*, uint32_t) override { return 0; }
  uint32_t GetTempPathA(uint32_t, char*) override { return 0; }
  uint32_t GetWindowsDirectoryA(char*, uint32_t) override { return 0; }

 private:
  static std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
  }
  static std::string key(std::string path) {  // upper case, without a trailing backslash
    while (path.size() > 1 && path.back() == '\\') path.pop_back();
    return upper(path);
  }
  std::set<std::string> folders_, barred_;
  std::map<std::string, platform::FindData> entries_;
  std::vector<std::deque<platform::FindData>> searches_;
  std::map<int, std::string> open_;
};

}  // namespace doubles
