#include "support/fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "cleanup/form1.h"
#include "cleanup/frmstatus.h"
#include "guard/guard.h"
#include "startup/globals.h"
#include "trace/frmpics.h"
#include "ui/layouts.h"

namespace fakes {
namespace {

std::string upper(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::toupper(c); });
  return out;
}

// Components of a path; the drive first, "\" alone standing for the current drive C:.
std::vector<std::string> components(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty() || parts.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  if (!parts.empty() && parts[0].empty()) parts[0] = "C:";
  return parts;
}

bool matches(std::string_view pattern, std::string_view name) {
  if (pattern.empty()) return name.empty();
  if (pattern[0] == '*') {
    for (std::size_t skip = 0; skip <= name.size(); ++skip)
      if (matches(pattern.substr(1), name.substr(skip))) return true;
    return false;
  }
  if (name.empty()) return false;
  if (pattern[0] != '?' && std::toupper(static_cast<unsigned char>(pattern[0])) !=
                               std::toupper(static_cast<unsigned char>(name[0])))
    return false;
  return matches(pattern.substr(1), name.substr(1));
}

void fill(platform::FindData& data, const std::string& name, uint32_t attributes) {
  data = platform::FindData{};
  data.dwFileAttributes = attributes;
  // The name field is left with whatever a real record would hold after the NUL.
  std::memset(data.cFileName, 'x', sizeof data.cFileName);
  std::memcpy(data.cFileName, name.c_str(), name.size() + 1);
}

}  // namespace

std::string MemoryFileSystem::key(const std::string& path) {
  std::string joined;
  for (const auto& part : components(path)) joined += upper(part) + "\\";
  return joined;
}

MemoryFileSystem::Node* MemoryFileSystem::find(const std::string& path) const {
  auto parts = components(path);
  if (parts.empty()) return nullptr;
  auto drive = drives_.find(upper(parts[0]));
  if (drive == drives_.end()) return nullptr;
  Node* node = drive->second.get();
  for (std::size_t i = 1; i < parts.size() && node; ++i) {
    Node* next = nullptr;
    for (auto& child : node->children)
      if (upper(child->name) == upper(parts[i])) next = child.get();
    node = next;
  }
  return node;
}

MemoryFileSystem::Node* MemoryFileSystem::make(const std::string& path, uint32_t attributes) {
  auto parts = components(path);
  auto& drive = drives_[upper(parts.at(0))];
  if (!drive) drive = std::make_unique<Node>(Node{parts[0], platform::kAttrDirectory, {}});
  Node* node = drive.get();
  for (std::size_t i = 1; i < parts.size(); ++i) {
    Node* next = nullptr;
    for (auto& child : node->children)
      if (upper(child->name) == upper(parts[i])) next = child.get();
    if (!next) {
      node->children.push_back(std::make_unique<Node>(Node{parts[i], platform::kAttrDirectory, {}}));
      next = node->children.back().get();
    }
    node = next;
  }
  node->attributes = attributes;
  return node;
}

void MemoryFileSystem::addFolder(const std::string& path, uint32_t extraAttributes) {
  make(path, platform::kAttrDirectory | extraAttributes);
}

void MemoryFileSystem::addFile(const std::string& path, uint32_t attributes) { make(path, attributes); }

bool MemoryFileSystem::exists(const std::string& path) const { return find(path) != nullptr; }

platform::SearchHandle MemoryFileSystem::FindFirstFileA(const std::string& pattern, platform::FindData& data) {
  const auto cut = pattern.rfind('\\');
  const std::string folder = cut == std::string::npos ? std::string() : pattern.substr(0, cut + 1);
  const std::string namePattern = pattern.substr(cut == std::string::npos ? 0 : cut + 1);
  Node* node = find(folder);
  if (!node || !(node->attributes & platform::kAttrDirectory) || unreadableFolders_.count(key(folder)))
    return platform::kInvalidSearchHandle;
  std::deque<Entry> entries;
  if (components(folder).size() > 1) {
    for (const char* dot : {".", ".."})
      if (matches(namePattern, dot)) entries.push_back({dot, platform::kAttrDirectory});
  }
  for (auto& child : node->children)
    if (matches(namePattern, child->name)) entries.push_back({child->name, child->attributes});
  if (entries.empty()) return platform::kInvalidSearchHandle;
  fill(data, entries.front().name, entries.front().attributes);
  entries.pop_front();
  const auto handle = nextHandle_++;
  searches_[handle] = std::move(entries);
  maxOpen_ = std::max(maxOpen_, openSearches());
  return handle;
}

bool MemoryFileSystem::FindNextFileA(platform::SearchHandle search, platform::FindData& data) {
  auto it = searches_.find(search);
  if (it == searches_.end() || it->second.empty()) return false;
  fill(data, it->second.front().name, it->second.front().attributes);
  it->second.pop_front();
  return true;
}

bool MemoryFileSystem::FindClose(platform::SearchHandle search) { return searches_.erase(search) != 0; }

uint32_t MemoryFileSystem::GetFileAttributesA(const std::string& path) {
  Node* node = find(path);
  if (!node || unreadableAttributes_.count(key(path))) return platform::kInvalidAttributes;
  return node->attributes;
}

void MemoryFileSystem::Kill(const std::string& path) {
  auto parts = components(path);
  Node* node = find(path);
  if (!node || parts.size() < 2) rt::raise(rt::errFileNotFound);
  if (locked_.count(key(path))) rt::raise(rt::errPermissionDenied);
  if (node->attributes & (platform::kAttrDirectory | platform::kAttrReadOnly)) rt::raise(rt::errPathFileAccess);
  parts.pop_back();
  std::string parentPath;
  for (const auto& p : parts) parentPath += p + "\\";
  auto& siblings = find(parentPath)->children;
  std::erase_if(siblings, [&](const auto& child) { return child.get() == node; });
}

std::string MemoryTextFiles::content(const std::string& path) const {
  auto it = files_.find(path);
  return it == files_.end() ? std::string() : it->second;
}

std::vector<std::string> MemoryTextFiles::lines(const std::string& path) const {
  std::vector<std::string> out;
  const std::string text = content(path);
  std::size_t at = 0;
  for (auto end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", at)) {
    out.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  EXPECT_EQ(at, text.size()) << "the log ends in a partial line";
  return out;
}

void MemoryTextFiles::Open(int number, const std::string& path, Mode mode) {
  if (number < 1 || number > 511) rt::raise(rt::errBadFileNameOrNumber);
  if (IsOpen(number)) rt::raise(rt::errFileAlreadyOpen);
  if (denied_.count(path)) rt::raise(rt::errPathFileAccess);
  if (mode == Mode::Input && !files_.count(path)) rt::raise(rt::errFileNotFound);
  files_[path];
  open_[number] = path;
}

void MemoryTextFiles::WriteLine(int number, std::string_view text) {
  auto it = open_.find(number);
  if (it == open_.end()) rt::raise(rt::errBadFileNameOrNumber);
  files_[it->second].append(text).append("\r\n");
}

std::string FakeProcess::ShortDate(const rt::DateTime& when) {
  return std::to_string(when.month) + "/" + std::to_string(when.day) + "/" + std::to_string(when.year);
}

std::string FakeProcess::LongTime(const rt::DateTime& when) {
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d:%02d %s", (when.hour + 11) % 12 + 1, when.minute, when.second,
                when.hour < 12 ? "AM" : "PM");
  return text;
}

std::string FakeProcess::UCase(std::string_view text) { return upper(text); }

int ScriptedDesktop::MsgBox(const std::string& prompt, int flags, const std::string& title) {
  boxes.push_back({prompt, flags, title});
  if (answers.empty()) {
    ADD_FAILURE() << "unexpected message box: " << prompt;
    return 0;
  }
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

void ScriptedDesktop::DoEvents() {
  ++doEvents;
  if (busyLoops == 0) ++doEventsOutsideBusyLoops;
  if (onDoEvents) onDoEvents();
}

std::string RecordingListBox::List(int index) const {
  if (index < 0 || index >= ListCount()) rt::raise(rt::errSubscriptOutOfRange);
  return items[static_cast<std::size_t>(index)];
}

void FakeWindowHost::Show(ui::Form& form, bool modal) {
  const auto& layout = form.Layout();
  shown.emplace_back(layout.name, modal);
  for (const auto& control : layout.controls) {
    if (control.kind == ui::ControlKind::Label) labels[control.name].Caption(control.caption);
  }
  form.Bind(*this);
  form.Form_Load();
  if (modal) form.Form_Activate();
}

void FakeWindowHost::click(ui::Form& form, std::string_view control) {
  guard::runOutermost([&] { form.Click(control); });
}

void FakeFileList::Path(const std::string& folder) {
  ++setCount;
  path_ = folder;
  items.clear();
  platform::FindData data;
  const auto search = fs->FindFirstFileA(folder + (folder.ends_with("\\") ? "*" : "\\*"), data);
  if (search == platform::kInvalidSearchHandle) return;
  do {
    if (!(data.dwFileAttributes & platform::kAttrDirectory)) items.emplace_back(data.cFileName);
  } while (fs->FindNextFileA(search, data));
  fs->FindClose(search);
}

void FakeWindowHost::Refresh(ui::Form& form) { refreshed.emplace_back(form.Layout().name); }

void FakeWindowHost::Load(ui::Form& form) {
  const std::string name = form.Layout().name;
  if (std::find(loaded.begin(), loaded.end(), name) != loaded.end()) return;
  loaded.push_back(name);
  form.Bind(*this);
}

World::World() {
  platform::install({&fs, &files, &process, &desktop, &libraries, &folders});
  ui::install(&windows);
  windows.fileLists["FDirectory"].fs = &fs;
  gstr_skip.clear();
  gstr_drive.clear();
  gi_trace_num = 0;
  guard::setReporter(nullptr);
  cleanup::frmstatus::instance() = cleanup::frmstatus{};
  TRACE::frmpics::instance() = TRACE::frmpics{};
  cleanup::Form1::instance() = cleanup::Form1{};
}

World::~World() {
  guard::setReporter(nullptr);
  platform::install({});
  ui::install(nullptr);
}

std::vector<std::string> World::trace() const {
  // Wherever the write-folder resolution put it.
  for (const auto& path : files.paths())
    if (path.ends_with("\\corvanefilecleanup.log")) return files.lines(path);
  return {};
}

}  // namespace fakes
