// walker: the least a one-pass walk of a drive can cost, as the yardstick for
// the cleanup's search. One enumeration per folder with the basic record and
// large fetches, attributes taken from the find record, links not followed.
//
//   walker ROOT          e.g. walker B:\      prints entries, folders and seconds
//   walker --shape ROOT  the cleanup's own search (FINDFILESAPI) for both names,
//                        without its window, and the size of the folder list the
//                        second search follows; what the cleanup costs beyond
//                        this is its messages and painting
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cleanup/search.h"
#include "platform/win32/services.h"

namespace {

long long entries = 0, folders = 0;

void walk(std::string& path) {
  ++folders;
  const std::size_t base = path.size();
  path += '*';
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileExA(path.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                              FIND_FIRST_EX_LARGE_FETCH);
  path.resize(base);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const char* name = data.cFileName;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
    ++entries;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      path += name;
      path += '\\';
      walk(path);
      path.resize(base);
    }
  } while (FindNextFileA(h, &data));
  FindClose(h);
}

class Unseen final : public ui::Label {
 public:
  void Caption(std::string_view) override {}
  std::string Caption() const override { return {}; }
};

// Both searches as the status window makes them: what they found, and what
// the list between them holds.
std::size_t shape(std::string& root, long long& found, double (&took)[2]) {
  win32::FileSystem files;
  win32::Desktop desktop;
  platform::install({&files, nullptr, nullptr, &desktop});
  Unseen label;
  module1::FolderList list{"corvane.ini", "corvane.mdb"};
  bool first = true;
  for (const char* name : {"corvane.ini", "corvane.mdb"}) {
    std::vector<std::string> paths(2);
    rt::int16 FileCount = 0;
    rt::int32 DirCount = 0;
    first ? list.Record() : list.Replay();
    const auto start = std::chrono::steady_clock::now();
    module1::FINDFILESAPI(root, name, FileCount, DirCount, &label, &label, paths, &list);
    took[first ? 0 : 1] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    found += static_cast<long long>(paths.size()) - 2;
    folders = DirCount.value() + 1;
    first = false;
  }
  return list.Bytes();
}

}  // namespace

int main(int argc, char** argv) {
  const bool searchShape = argc == 3 && std::string(argv[1]) == "--shape";
  if (argc != 2 && !searchShape) {
    std::fprintf(stderr, "usage: walker [--shape] ROOT\n");
    return 2;
  }
  std::string root = argv[argc - 1];
  if (root.empty() || root.back() != '\\') root += '\\';
  const auto start = std::chrono::steady_clock::now();
  if (searchShape) {
    long long found = 0;
    double each[2] = {};
    const std::size_t listBytes = shape(root, found, each);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("shape: %lld found in %lld folders, folder list %zu bytes, searches %.3f s and %.3f s, %.2f s\n", found,
                folders, listBytes, each[0], each[1], took.count());
  } else {
    walk(root);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("walker: %lld entries in %lld folders, %.2f s\n", entries, folders, took.count());
  }
  return 0;
}
