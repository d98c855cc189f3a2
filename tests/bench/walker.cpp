// walker: the least a one-pass walk of a drive can cost, as the yardstick for
// the cleanup's search. One enumeration per folder with the basic record and
// large fetches, attributes taken from the find record, links not followed.
//
//   walker ROOT          e.g. walker B:\      prints entries, folders and seconds
//   walker --shape ROOT  the cleanup's search without its window: per folder a
//                        "*" scan with an attribute query per entry, then a
//                        pattern scan, once per name; what the cleanup costs
//                        beyond this is its messages and painting
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

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

long long matches = 0;

void shape(const std::string& path, const char* pattern) {
  ++folders;
  std::vector<std::string> subfolders;
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA((path + "*").c_str(), &data);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      ++entries;
      const DWORD attributes = GetFileAttributesA((path + name).c_str());
      if ((attributes & FILE_ATTRIBUTE_DIRECTORY) &&
          (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)))
        subfolders.push_back(name);
    } while (FindNextFileA(h, &data));
    FindClose(h);
  }
  h = FindFirstFileA((path + pattern).c_str(), &data);
  if (h != INVALID_HANDLE_VALUE) {
    do ++matches;
    while (FindNextFileA(h, &data));
    FindClose(h);
  }
  for (const auto& sub : subfolders) shape(path + sub + "\\", pattern);
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
    for (const char* name : {"corvane.ini", "corvane.mdb"}) shape(root, name);
  } else {
    walk(root);
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("%s: %lld entries in %lld folders, %.2f s\n", searchShape ? "shape" : "walker", entries, folders,
              took.count());
  return 0;
}
