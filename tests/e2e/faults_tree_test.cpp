// Trees a cleanup meets in the field: entries that cannot be examined, paths
// past the ANSI length limit, folder links, and names the code page cannot
// hold. Each is planted from the Unix side, where links, FIFOs and such names
// are at hand, under an automatic cleanup of T: that spares T:\App\.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "e2e/scenario.h"

namespace e2e {
namespace {

const std::string kSpared = R"(T:\App\corvane.ini)";

// The Unix side of a path on a mapped drive, names as given (UTF-8).
std::string unixPath(const std::string& windowsPath) {
  std::string rest = windowsPath.substr(3);
  std::replace(rest.begin(), rest.end(), '\\', '/');
  return hostPath(widen(windowsPath.substr(0, 3))) + "/" + rest;
}

// Asked of the host: the program's ANSI calls cannot name some of these paths.
bool onDisk(const std::string& windowsPath) { return runHost("test -f " + shellQuote(unixPath(windowsPath))) == 0; }

// A path as the program writes it into its log: in the ANSI code page.
std::string ansi(const std::string& utf8) {
  const std::wstring wide = widen(utf8);
  const int n =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// Collects the planting into one shell run on the host.
class Planter {
 public:
  // A leftover, with the folders it needs.
  void file(const std::string& windowsPath) {
    const std::string path = unixPath(windowsPath);
    script_ += "mkdir -p " + shellQuote(path.substr(0, path.rfind('/'))) + " && printf 'left behind\\r\\n' >" +
               shellQuote(path) + "\n";
  }
  // A shell command run in the Unix folder of `windowsFolder`, made first.
  void in(const std::string& windowsFolder, const std::string& command) {
    const std::string folder = shellQuote(unixPath(windowsFolder));
    script_ += "mkdir -p " + folder + " && (cd " + folder + " && " + command + ")\n";
  }
  void run() { host("set -e\n" + script_); }

 private:
  std::string script_;
};

struct Tree {
  std::vector<std::string> deleted;  // in the order listed: .ini files first, each group in search order
  std::vector<std::string> kept;
};

struct TreeCase {
  const char* name;
  std::function<Tree(Planter&)> plant;
};

void PrintTo(const TreeCase& c, std::ostream* os) { *os << c.name; }

// Found before, beside and after entries that cannot be examined: the scan of
// T:\Mid meets them before Mid's own files are looked for and before Next is
// entered. Dangling and looping links are not even listed by Wine; a FIFO and
// a folder whose name holds a wildcard (or bytes that are no UTF-8) are taken
// for folders whose enumerations fail.
Tree unexaminable(Planter& p) {
  Tree t{{R"(T:\corvane.ini)", R"(T:\Mid\corvane.ini)", R"(T:\Mid\Next\corvane.mdb)"}, {R"(T:\Mid\Star*\corvane.ini)"}};
  for (const auto& f : t.deleted) p.file(f);
  for (const auto& f : t.kept) p.file(f);
  p.in(R"(T:\Mid)",
       "ln -s /nonexistent/corvane Dangling && ln -s Loop Loop && mkfifo Pipe && "
       "mkdir \"$(printf 'Bad\\377')\" && printf x >\"$(printf 'Bad\\377')/corvane.ini\"");
  return t;
}

// 259 characters, MAX_PATH less its NUL, is the longest path every ANSI call
// takes (Wine's take one more); at 261 and deeper the enumerations fail, so
// the search ends there quietly and deletes nothing it could not list.
Tree deep(Planter& p) {
  Tree t;
  std::string folder = R"(T:\Deep\)";
  t.deleted.push_back(folder + "corvane.ini");
  while (folder.size() + 60 < 248) folder += std::string(59, 'd') + "\\";
  folder += std::string(248 - folder.size() - 1, 'e') + "\\";
  t.deleted.push_back(folder + "corvane.mdb");
  EXPECT_EQ(t.deleted.back().size(), 259u);
  folder += "x\\";
  t.kept.push_back(folder + "corvane.ini");
  EXPECT_EQ(t.kept.back().size(), 261u);
  folder += std::string(59, 'f') + "\\";
  t.kept.push_back(folder + "corvane.mdb");
  t.kept.push_back(folder + std::string(40, 'g') + "\\corvane.ini");
  for (const auto& f : t.deleted) p.file(f);
  for (const auto& f : t.kept) p.file(f);
  return t;
}

// A link up to an ancestor and one to a folder of drive U: are not followed:
// each leftover is listed once and nothing behind the second is touched.
Tree links(Planter& p) {
  Tree t{{R"(T:\Loop\corvane.ini)", R"(T:\Loop\Inner\corvane.mdb)"},
         {R"(U:\TreeFaults\corvane.ini)", R"(U:\TreeFaults\corvane.mdb)"}};
  for (const auto& f : t.deleted) p.file(f);
  p.in("U:\\", "rm -rf TreeFaults");
  for (const auto& f : t.kept) p.file(f);
  p.in(R"(T:\Loop\Inner)", "ln -s " + shellQuote(unixPath(R"(T:\Loop)")) + " Up && ln -s ../.. Root && ln -s " +
                               shellQuote(unixPath(R"(U:\TreeFaults)")) + " Away");
  return t;
}

// Names the ANSI code page cannot hold, as files and folders beside the
// leftovers. A best-fit mapping would turn "ｏｌｄ" into the sibling "old" (listing
// its leftover twice) and "．．＼App" into "..\App", the spared folder reached by
// another path; a name with a backslash of its own (Wine lists it) and "old."
// would do the same. Folders with such names cannot be searched through ANSI
// paths; a name the code page holds ("Café") can.
Tree foreignNames(Planter& p) {
  Tree t{{R"(T:\Names\corvane.ini)", R"(T:\Names\Café\corvane.ini)", R"(T:\Names\corvane.mdb)",
          R"(T:\Names\old\corvane.mdb)"},
         {R"(T:\Names\ｃｏｒｖａｎｅ.ｉｎｉ)", R"(T:\Names\ｃｏｒｖａｎｅ.ｍｄｂ)", R"(T:\Names\日本語.ini)",
          R"(T:\Names\Ελληνικά.mdb)", R"(T:\Names\😀.ini)", R"(T:\Names\old\readme.txt)",
          R"(T:\Names\ｏｌｄ\corvane.ini)", R"(T:\Names\日本\corvane.ini)", R"(T:\Names\Ελλάδα\corvane.mdb)",
          R"(T:\Names\😀\corvane.ini)", R"(T:\Names\．．＼App\corvane.mdb)"}};
  for (const auto& f : t.deleted) p.file(f);
  for (const auto& f : t.kept) p.file(f);
  p.in(R"(T:\Names)", R"(mkdir 'old.' '..\App' 'old\..\old')");
  return t;
}

const TreeCase kTreeCases[] = {
    {"UnexaminableEntriesAreSkipped", unexaminable},
    {"PathsPastTheLimitEndTheSearchQuietly", deep},
    {"LinksToAnAncestorOrAnotherDriveAreNotFollowed", links},
    {"NamesOutsideTheCodePageTouchNothingElse", foreignNames},
};

class TreeFaults : public testing::TestWithParam<TreeCase> {};

TEST_P(TreeFaults, DeletesExactlyTheReachableLeftovers) {
  Sandbox box;
  Planter planter;
  planter.file(kSpared);
  Tree tree = GetParam().plant(planter);
  tree.kept.push_back(kSpared);
  planter.run();

  Process app = Process::start(box.exe(), R"(CLEANUP,"T:\App\")");
  confirm(app);
  if (HasFatalFailure()) return;
  const auto exitCode = app.waitExit(Ms(60000));
  if (!exitCode) {
    if (auto report = waitReportDialog(app, Ms(0)))
      ADD_FAILURE() << "a report: " << narrow(reportField(*report, L"Description:")) << " in "
                    << narrow(reportField(*report, L"Procedure Name:"));
  }
  EXPECT_EQ(exitCode, std::optional<DWORD>(0));
  for (const auto& f : tree.deleted) EXPECT_FALSE(onDisk(f)) << f;
  for (const auto& f : tree.kept) EXPECT_TRUE(onDisk(f)) << f;
  std::vector<std::string> traced;
  for (const auto& f : tree.deleted) traced.push_back(ansi(f));
  EXPECT_EQ(box.log(), cleanupTrace(kAppMainLines, traced));
}

INSTANTIATE_TEST_SUITE_P(Automatic, TreeFaults, testing::ValuesIn(kTreeCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
