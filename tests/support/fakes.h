#pragma once
// Test doubles of the platform and window services, with Windows semantics:
// case-insensitive wildcard matching, no "." and ".." in a drive's root,
// enumeration in the order entries were added, and faults on demand.
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/fake_shell.h"
#include "ui/controls.h"

namespace fakes {

// What platform::End throws in the tests instead of ending the process.
struct ProgramEnded {
  int exitCode;
};

class MemoryFileSystem final : public platform::FileSystem {
 public:
  void addFolder(const std::string& path, uint32_t extraAttributes = 0);
  void addFile(const std::string& path, uint32_t attributes = 0x20);
  // A folder link: folder and reparse-point bits.
  void addLink(const std::string& path) { addFolder(path, platform::kAttrReparsePoint); }
  void failEnumeration(const std::string& folder) { unreadableFolders_.insert(key(folder)); }
  void failAttributes(const std::string& path) { unreadableAttributes_.insert(key(path)); }
  void lock(const std::string& path) { locked_.insert(key(path)); }
  void unlock(const std::string& path) { locked_.erase(key(path)); }
  bool exists(const std::string& path) const;

  int maxOpenSearches() const { return maxOpen_; }
  int openSearches() const { return static_cast<int>(searches_.size()); }

  platform::SearchHandle FindFirstFileA(const std::string& pattern, platform::FindData& data) override;
  bool FindNextFileA(platform::SearchHandle search, platform::FindData& data) override;
  bool FindClose(platform::SearchHandle search) override;
  uint32_t GetFileAttributesA(const std::string& path) override;
  void Kill(const std::string& path) override;

 private:
  struct Node {
    std::string name;
    uint32_t attributes = 0;
    std::vector<std::unique_ptr<Node>> children;
  };
  struct Entry {
    std::string name;
    uint32_t attributes;
  };
  static std::string key(const std::string& path);
  Node* find(const std::string& path) const;
  Node* make(const std::string& path, uint32_t attributes);

  std::map<std::string, std::unique_ptr<Node>> drives_;
  std::map<platform::SearchHandle, std::deque<Entry>> searches_;
  platform::SearchHandle nextHandle_ = 100;
  int maxOpen_ = 0;
  std::set<std::string> unreadableFolders_, unreadableAttributes_, locked_;
};

class MemoryTextFiles final : public platform::TextFiles {
 public:
  std::string content(const std::string& path) const;
  std::vector<std::string> lines(const std::string& path) const;  // without CR LF
  std::vector<std::string> paths() const {
    std::vector<std::string> all;
    for (const auto& [path, content] : files_) all.push_back(path);
    return all;
  }
  void deny(const std::string& path) { denied_.insert(path); }

  bool IsOpen(int number) const override { return open_.count(number) != 0; }
  void Open(int number, const std::string& path, Mode mode) override;
  void WriteLine(int number, std::string_view text) override;
  void Close(int number) override { open_.erase(number); }
  void CloseAll() override { open_.clear(); }

 private:
  std::map<int, std::string> open_;
  std::map<std::string, std::string> files_;
  std::set<std::string> denied_;
};

class FakeProcess final : public platform::Process {
 public:
  std::string commandLine;
  std::string appPath = "C:\\Program Files\\Corvane";
  rt::DateTime now{2026, 12, 6, 8, 40, 5};
  int clockFailures = 0;  // the next reads of the clock that raise error 5

  std::string CommandLine() override { return commandLine; }
  std::string AppPath() override { return appPath; }
  std::string AppTitle() override { return "CorvaneFileCleanup"; }
  rt::DateTime Now() override {
    if (clockFailures > 0 && clockFailures--) rt::raise(rt::errInvalidProcedureCall);
    return now;
  }
  std::string ShortDate(const rt::DateTime& when) override;
  std::string LongTime(const rt::DateTime& when) override;
  std::string UCase(std::string_view text) override;
  [[noreturn]] void Exit(int exitCode) override { throw ProgramEnded{exitCode}; }
};

class ScriptedDesktop final : public platform::Desktop {
 public:
  struct Box {
    std::string prompt;
    int flags;
    std::string title;
  };
  std::deque<int> answers;  // an unscripted box is a test failure
  std::vector<Box> boxes;
  std::vector<int> pointers;
  int doEvents = 0;
  int doEventsOutsideBusyLoops = 0;
  int busyLoops = 0;  // open ones
  std::function<void()> onDoEvents;

  int MsgBox(const std::string& prompt, int flags, const std::string& title) override;
  void DoEvents() override;
  void EnterBusyLoop() override { ++busyLoops; }
  void LeaveBusyLoop() override { --busyLoops; }
  void SetMousePointer(int pointer) override { pointers.push_back(pointer); }
};

class RecordingLabel final : public ui::Label {
 public:
  std::vector<std::string> history;
  void Caption(std::string_view text) override { history.emplace_back(text); }
  std::string Caption() const override { return history.empty() ? std::string() : history.back(); }
};

class RecordingListBox final : public ui::ListBox {
 public:
  std::vector<std::string> items;
  void AddItem(std::string_view item) override { items.emplace_back(item); }
  int ListCount() const override { return static_cast<int>(items.size()); }
  std::string List(int index) const override;
};

// Lists the files (not folders) of a folder of the in-memory drives.
class FakeFileList final : public ui::FileListBox {
 public:
  MemoryFileSystem* fs = nullptr;
  std::vector<std::string> items;
  int setCount = 0;
  void Path(const std::string& folder) override;
  std::string Path() const override { return path_; }
  int ListCount() const override { return static_cast<int>(items.size()); }
  std::string List(int index) const override { return items.at(static_cast<std::size_t>(index)); }

 private:
  std::string path_;
};

// Creates recording controls for a form's layout, then runs Form_Load and,
// for a modal show, Form_Activate as the window layer would.
class FakeWindowHost final : public ui::WindowHost, public ui::Controls {
 public:
  std::vector<std::pair<std::string, bool>> shown;  // form name, modal
  std::map<std::string, RecordingLabel> labels;
  std::map<std::string, RecordingListBox> lists;
  std::map<std::string, FakeFileList> fileLists;
  std::vector<std::string> loaded;  // forms created hidden, by name

  void Show(ui::Form& form, bool modal) override;
  // A button press as the window layer routes it: an error that leaves the
  // event procedure ends the program.
  void click(ui::Form& form, std::string_view control);
  ui::Label& label(std::string_view name) override { return labels[std::string(name)]; }
  ui::ListBox& listBox(std::string_view name) override { return lists[std::string(name)]; }
  ui::FileListBox& fileListBox(std::string_view name) override { return fileLists[std::string(name)]; }
  void Load(ui::Form& form) override;
  void Refresh(ui::Form& form) override;
  std::vector<std::string> refreshed;
};

// Installs a fresh set of doubles and clears the program-wide state.
struct World {
  MemoryFileSystem fs;
  MemoryTextFiles files;
  FakeProcess process;
  ScriptedDesktop desktop;
  FakeWindowHost windows;
  FakeLibraries libraries;
  FakeSpecialFolders folders{libraries, fs};

  World();
  ~World();
  // The trace log as written to the program's folder.
  std::vector<std::string> trace() const;
  static constexpr const char* kLogPath = "C:\\ProgramData\\corvanefilecleanup.log";  // for tests that open it themselves
};

}  // namespace fakes
