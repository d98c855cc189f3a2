// The interactive window: Find lists every leftover on C:\, Delete Files
// deletes what is listed, closing ends the program.
#include "cleanup/form1.h"

#include <gtest/gtest.h>

#include "guard/guard.h"
#include "startup/globals.h"
#include "support/fakes.h"

namespace {

using Lines = std::vector<std::string>;

const Lines kLeftovers = {"C:\\corvane.ini", "C:\\Keep\\corvane.ini", "C:\\Old\\Deep\\corvane.mdb"};

struct Interactive {
  fakes::World world;
  cleanup::Form1& form = cleanup::Form1::instance();

  Interactive() {
    for (const auto& f : kLeftovers) world.fs.addFile(f);
    world.fs.addFile("C:\\Old\\corvane.ini.bak");
    world.fs.addFile("D:\\corvane.ini");
    world.windows.Show(form, false);
  }
  void find() { world.windows.click(form, "Command1"); }
  void deleteFiles() { world.windows.click(form, "Command2"); }
  Lines listed() { return world.windows.lists["List1"].items; }
  std::string label(const char* name) { return world.windows.labels[name].Caption(); }
};

TEST(Form1, FindListsEveryMatchOnCAndEachFindAppends) {
  Interactive w;
  gstr_skip = "C:\\Keep\\";  // the skip parameter plays no part here
  gi_trace_num = 7;
  w.world.files.Open(7, fakes::World::kLogPath, platform::TextFiles::Mode::Append);

  w.find();
  EXPECT_EQ(w.listed(), kLeftovers);
  EXPECT_EQ(w.label("Label5"), "3");
  EXPECT_EQ(w.label("Label1"), "C:\\Old\\Deep\\corvane.mdb");
  EXPECT_EQ(w.label("Label2"), "C:\\Old\\Deep\\");
  EXPECT_EQ(w.form.str_files, (Lines{"", "", "C:\\Old\\Deep\\corvane.mdb"})) << "the second search's result";
  EXPECT_EQ(w.world.desktop.pointers, (std::vector<int>{11, 0}));

  w.find();
  Lines twice = kLeftovers;
  twice.insert(twice.end(), kLeftovers.begin(), kLeftovers.end());
  EXPECT_EQ(w.listed(), twice);
  EXPECT_EQ(w.label("Label5"), "6");
  EXPECT_TRUE(w.world.trace().empty()) << "the window writes no trace lines";
}

TEST(Form1, DeleteFilesAsksAndDeletesOnlyOnYes) {
  struct {
    const char* name;
    bool findFirst;
    std::deque<int> answers;
    Lines prompts;
    bool deleted;
  } cases[] = {
      {"Yes after a Find", true, {6, 1}, {"Delete Files?", "Files deleted!"}, true},
      {"No after a Find", true, {7}, {"Delete Files?"}, false},
      {"Yes before any Find", false, {6, 1}, {"Delete Files?", "Files deleted!"}, false},
  };
  for (const auto& k : cases) {
    Interactive w;
    if (k.findFirst) w.find();
    w.world.desktop.answers = k.answers;
    w.deleteFiles();
    Lines prompts;
    for (const auto& box : w.world.desktop.boxes) prompts.push_back(box.prompt);
    EXPECT_EQ(prompts, k.prompts) << k.name;
    ASSERT_FALSE(w.world.desktop.boxes.empty()) << k.name;
    EXPECT_EQ(w.world.desktop.boxes[0].flags, 20) << k.name;
    EXPECT_EQ(w.world.desktop.boxes[0].title, "Delete Found Files") << k.name;
    if (w.world.desktop.boxes.size() > 1) {
      EXPECT_EQ(w.world.desktop.boxes[1].flags, 48) << k.name;
      EXPECT_EQ(w.world.desktop.boxes[1].title, "Deleted") << k.name;
    }
    for (const auto& f : kLeftovers) EXPECT_EQ(w.world.fs.exists(f), !k.deleted) << k.name << ": " << f;
    EXPECT_TRUE(w.world.fs.exists("C:\\Old\\corvane.ini.bak")) << k.name;
    EXPECT_EQ(w.listed().size(), k.findFirst ? kLeftovers.size() : 0u) << k.name << ": the entries stay";
  }
}

TEST(Form1, AFailedDeletionIsReportedAndRetriedOrPassedOver) {
  const std::string held = "C:\\Keep\\corvane.ini";
  struct {
    const char* name;
    int32_t answer;
    int finds;
    bool lock;
    Lines reports;
    bool heldDeleted;
  } cases[] = {
      {"in use, go on", guard::kIgnore, 1, true, {"Form1.Command2_Click:70@102"}, false},
      {"in use, retry until free",
       guard::kRetry,
       1,
       true,
       {"Form1.Command2_Click:70@102", "Form1.Command2_Click:70@102"},
       true},
      {"listed twice, the second deletion finds nothing",
       guard::kIgnore,
       2,
       false,
       {"Form1.Command2_Click:53@102", "Form1.Command2_Click:53@102", "Form1.Command2_Click:53@102"},
       true},
  };
  for (const auto& k : cases) {
    Interactive w;
    for (int n = 0; n < k.finds; ++n) w.find();
    if (k.lock) w.world.fs.lock(held);
    Lines reports;
    guard::setReporter([&](const std::string& module, const std::string& procedure) {
      reports.push_back(module + "." + procedure + ":" + std::to_string(guard::currentError().number) + "@" +
                        std::to_string(guard::currentError().line));
      EXPECT_EQ(guard::slots().GuardParams, guard::marker()) << k.name;
      EXPECT_EQ(guard::slots().GuardLocals, guard::dump("int_result", rt::int16(6))) << k.name;
      EXPECT_EQ(guard::slots().GuardModuleVars, guard::dump("str_files", w.form.str_files)) << k.name;
      if (reports.size() == 2) w.world.fs.unlock(held);
      return reports.size() > 4 ? guard::kIgnore : k.answer;  // a deletion that never succeeds must not hang
    });
    w.world.desktop.answers = {6, 1};
    w.deleteFiles();
    EXPECT_EQ(reports, k.reports) << k.name;
    EXPECT_EQ(w.world.fs.exists(held), !k.heldDeleted) << k.name;
    EXPECT_FALSE(w.world.fs.exists("C:\\Old\\Deep\\corvane.mdb")) << k.name << ": the loop went on";
    EXPECT_EQ(w.world.desktop.boxes.back().prompt, "Files deleted!") << k.name;
  }
}

TEST(Form1, TheNumberOfEntriesIsTakenOnceBeforeDeleting) {
  Interactive w;
  w.find();
  w.world.fs.addFile("C:\\Late\\corvane.ini");
  w.world.fs.lock(kLeftovers[0]);
  // An entry that turns up while the deletion runs is not deleted by it.
  guard::setReporter([&](const std::string&, const std::string&) {
    w.world.windows.lists["List1"].AddItem("C:\\Late\\corvane.ini");
    return guard::kIgnore;
  });
  w.world.desktop.answers = {6, 1};
  w.deleteFiles();
  EXPECT_TRUE(w.world.fs.exists("C:\\Late\\corvane.ini"));
  EXPECT_FALSE(w.world.fs.exists(kLeftovers[2]));
}

TEST(Form1, WithoutAReportAFailedDeletionEndsTheProgramWithItsNumber) {
  Interactive w;
  w.find();
  w.world.fs.lock(kLeftovers[1]);
  w.world.desktop.answers = {6, 1};
  int exitCode = -1;
  try {
    w.deleteFiles();
  } catch (const fakes::ProgramEnded& ended) {
    exitCode = ended.exitCode;
  }
  EXPECT_EQ(exitCode, 70);
  EXPECT_EQ(w.world.desktop.boxes.back().prompt, "Run-time error '70':\n\nPermission denied");
  EXPECT_FALSE(w.world.fs.exists(kLeftovers[0]));
  EXPECT_TRUE(w.world.fs.exists(kLeftovers[2]));
}

TEST(Form1, ButtonsPressedDuringAFindAreIgnored) {
  Interactive w;
  bool pressed = false;
  w.world.desktop.onDoEvents = [&] {
    if (pressed) return;
    pressed = true;
    w.find();         // would list everything twice
    w.deleteFiles();  // would ask, with no answer scripted
  };
  w.find();
  EXPECT_TRUE(pressed);
  EXPECT_EQ(w.listed(), kLeftovers);
  EXPECT_TRUE(w.world.desktop.boxes.empty());
  EXPECT_EQ(w.world.desktop.pointers, (std::vector<int>{11, 0}));

  // Once the Find is over the buttons work again.
  w.world.desktop.answers = {7};
  w.deleteFiles();
  EXPECT_EQ(w.world.desktop.boxes.size(), 1u);
  w.find();
  EXPECT_EQ(w.listed().size(), 2 * kLeftovers.size());
}

TEST(Form1, ClosingEndsTheProgramEvenDuringAFind) {
  for (const bool duringFind : {false, true}) {
    Interactive w;
    int exitCode = -1;
    const auto close = [&] {
      rt::int16 Cancel = 0;
      w.form.Form_Unload(Cancel);
    };
    try {
      if (duringFind) {
        w.world.desktop.onDoEvents = close;
        w.find();
      } else {
        close();
      }
    } catch (const fakes::ProgramEnded& ended) {
      exitCode = ended.exitCode;
    }
    EXPECT_EQ(exitCode, 0) << duringFind;
    if (duringFind) {
      EXPECT_TRUE(w.listed().empty()) << "nothing after the close ran";
    }
  }
}

}  // namespace
