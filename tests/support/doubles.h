#pragma once
// Doubles of the operating system for the core, enough to run Main up to its
// windows: folders that exist, log files in memory, a fixed command line and
// clock, scripted message boxes, and a shell that knows the all-users
// application-data folder.
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "guard/guard.h"
#include "platform/platform.h"
#include "startup/globals.h"
#include "ui/controls.h"
#include "ui/layouts.h"

namespace doubles {

// What ending the program throws here instead of leaving the process.
struct ProgramEnded {
  int exitCode;
};

inline std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// Folders only: the existence tests see them, a search finds nothing.
class Folders final : public platform::FileSystem {
 public:
  void add(const std::string& path) { folders_.insert(key(path)); }
  platform::SearchHandle FindFirstFileA(const std::string&, platform::FindData&) override {
    return platform::kInvalidSearchHandle;
  }
  bool FindNextFileA(platform::SearchHandle, platform::FindData&) override { return false; }
  bool FindClose(platform::SearchHandle) override { return true; }
  uint32_t GetFileAttributesA(const std::string& path) override {
    return folders_.count(key(path)) ? platform::kAttrDirectory : platform::kInvalidAttributes;
  }
  void Kill(const std::string&) override { rt::raise(rt::errFileNotFound); }

 private:
  static std::string key(const std::string& path) {
    std::string k = upper(path);
    while (k.size() > 1 && k.back() == '\\') k.pop_back();
    return k;
  }
  std::set<std::string> folders_;
};

class Files final : public platform::TextFiles {
 public:
  std::map<std::string, std::string> content;  // by path
  int writes = 0;

  bool IsOpen(int number) const override { return open_.count(number) != 0; }
  void Open(int number, const std::string& path, Mode mode) override {
    if (IsOpen(number)) rt::raise(rt::errFileAlreadyOpen);
    if (mode == Mode::Input && !content.count(path)) rt::raise(rt::errFileNotFound);
    content[path];
    open_[number] = path;
  }
  void WriteLine(int number, std::string_view text) override {
    if (!IsOpen(number)) rt::raise(rt::errBadFileNameOrNumber);
    content[open_[number]].append(text).append("\r\n");
    ++writes;
  }
  void Close(int number) override { open_.erase(number); }
  void CloseAll() override { open_.clear(); }

 private:
  std::map<int, std::string> open_;
};

class Process final : public platform::Process {
 public:
  std::string commandLine, appPath = "C:\\App";
  rt::DateTime now{2026, 12, 6, 8, 40, 5};

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
};

// Answers boxes from a script; a box past its end gets 0, no button at all.
class Desktop final : public platform::Desktop {
 public:
  std::deque<int> answers;
  std::vector<std::string> boxes;  // flags and prompt
  int MsgBox(const std::string& prompt, int flags, const std::string&) override {
    boxes.push_back(std::to_string(flags) + " " + prompt);
    if (answers.empty()) return 0;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void DoEvents() override {}
  void SetMousePointer(int) override {}
};

// The loader offers "shfolder" with its folder-path query, which knows folder 35.
class Shell final : public platform::Libraries, public platform::SpecialFolders {
 public:
  std::string appData = "C:\\ProgramData";  // empty: the query fails

  platform::ModuleHandle GetModuleHandleA(const std::string&) override { return 0; }
  platform::ModuleHandle LoadLibraryA(const std::string&) override { return 1; }
  platform::ProcAddress GetProcAddress(platform::ModuleHandle, const std::string&) override { return 1; }
  bool FreeLibrary(platform::ModuleHandle) override { return true; }
  platform::HResult SHGetFolderPathA(intptr_t, int32_t folder, intptr_t, uint32_t, char* path) override {
    if ((folder & ~platform::kCsidlFlagCreate) != 35 || appData.empty()) return platform::kEInvalidArg;
    std::memcpy(path, appData.c_str(), appData.size() + 1);
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
};

// Records the windows shown, by name; "!" marks a modal one.
class Windows final : public ui::WindowHost {
 public:
  std::vector<std::string> shown;
  void Show(ui::Form& form, bool modal) override { shown.push_back(form.Layout().name + std::string(modal ? "!" : "")); }
  void Refresh(ui::Form&) override {}
};

// A fresh set of doubles installed, and the program-wide state cleared.
struct World {
  Folders fs;
  Files files;
  Process process;
  Desktop desktop;
  Shell shell;
  Windows windows;

  World() {
    platform::install({&fs, &files, &process, &desktop, &shell, &shell});
    ui::install(&windows);
    fs.add("C:\\ProgramData");
    gstr_skip.clear();
    gstr_drive.clear();
    gi_trace_num = 0;
    guard::setReporter(nullptr);
  }
  ~World() {
    platform::install({});
    ui::install(nullptr);
  }
  // The lines of the first log written, without their CR LF; an unfinished one is marked.
  std::vector<std::string> log() const {
    std::vector<std::string> lines;
    const std::string text = files.content.empty() ? std::string() : files.content.begin()->second;
    std::size_t at = 0;
    for (auto end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", at = end + 2))
      lines.push_back(text.substr(at, end - at));
    if (at < text.size()) lines.push_back("unfinished: " + text.substr(at));
    return lines;
  }
};

}  // namespace doubles
