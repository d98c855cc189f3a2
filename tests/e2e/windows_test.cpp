// The interactive window at work on drive C: of the prefix, the designed look
// of both windows measured on the running program, and the resources of the
// executable.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/scenario.h"
#include "ui/layouts.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

// Where the tests plant on C: (the whole drive is searched); removed afterwards.
const std::wstring kPlanted = L"C:\\corvane-e2e";

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void plant(const std::wstring& path) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(fs::path(path)) << "left behind\r\n";
}

// A private copy of the program, so that its log goes into a folder of the test's own.
std::string privateCopy() {
  const auto* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  const std::wstring folder = dosPath(std::string(CORVANE_E2E_WORK) + "/" + name);
  fs::remove_all(fs::path(folder));
  fs::create_directories(fs::path(folder));
  const std::wstring exe = folder + L"\\CorvaneFileCleanup.exe";
  EXPECT_TRUE(CopyFileW(dosPath(CORVANE_EXE).c_str(), exe.c_str(), FALSE));
  return narrow(exe);
}

HWND waitMainWindow(const Process& app) {
  const std::wstring caption = widen(ui::kForm1Layout.caption);
  return waitWindow(
      app, [&](const Window& w) { return w.title == caption && w.className != L"#32770"; }, kStart);
}

// Answers the two questions of an automatic run: Yes, then OK.
bool confirmCleanup(const Process& app) {
  for (int button : {IDYES, IDOK}) {
    const auto box = waitMessageBox(app, L"Corvane File Cleanup", kStart);
    if (!box || !answer(box->hwnd, button)) return false;
  }
  return true;
}

HWND control(HWND window, const ui::FormLayout& layout, const char* name) {
  return child(window, layout.controlId(name));
}

// --- Find and Delete Files on C: ----------------------------------------------

class InteractiveOnC : public testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(fs::path(kPlanted));
    for (const auto& f : found) plant(f);
    plant(kPlanted + L"\\Old\\corvane.ini.bak");
    // Folders enough that a Find lasts until the buttons have been pressed.
    for (int i = 0; i < 300; ++i) fs::create_directories(fs::path(kPlanted + L"\\Ballast\\B" + std::to_wstring(i)));
  }
  void TearDown() override { fs::remove_all(fs::path(kPlanted)); }

  // In the order listed: every .ini file, then every .mdb file.
  const std::vector<std::wstring> found = {kPlanted + L"\\Old\\corvane.ini", kPlanted + L"\\Deep\\A\\corvane.mdb"};
};

TEST_F(InteractiveOnC, FindListsAndDeleteFilesDeletes) {
  Process app = Process::start(privateCopy(), "");
  HWND main = waitMainWindow(app);
  ASSERT_TRUE(main) << "no main window";
  const auto& layout = ui::kForm1Layout;
  const HWND folder = control(main, layout, "Label2"), count = control(main, layout, "Label5");
  const HWND list = control(main, layout, "List1");

  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(press(main, layout.controlId("Command1")));
  // While the Find runs the window answers, shows its progress, and ignores both buttons.
  const auto deadline = started + Ms(600000);
  while (text(folder).empty() && text(count).empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(Ms(5));
  ASSERT_TRUE(text(count).empty()) << "the Find ended before it could be watched";
  EXPECT_TRUE(pressNow(main, layout.controlId("Command1"), kStep));
  EXPECT_TRUE(pressNow(main, layout.controlId("Command2"), kStep)) << "a box is up, or the window stopped answering";
  ASSERT_TRUE(text(count).empty()) << "the Find ended before the presses arrived";
  std::vector<std::wstring> folders{text(folder)};
  while (text(count).empty() && app.running() && std::chrono::steady_clock::now() < deadline) {
    if (const std::wstring now = text(folder); now != folders.back()) folders.push_back(now);
    std::this_thread::sleep_for(Ms(5));
  }
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::cout << "Find of C: took " << seconds << " s, " << folders.size() << " folders seen\n";
  RecordProperty("find_seconds", std::to_string(seconds));
  EXPECT_GT(folders.size(), 2u) << "the folder label did not change during the Find";

  EXPECT_EQ(listItems(list), std::optional(found));
  EXPECT_EQ(text(count), std::to_wstring(found.size()));
  EXPECT_FALSE(waitMessageBox(app, L"Delete Found Files", Ms(0))) << "a press during the Find was not ignored";

  ASSERT_TRUE(press(main, layout.controlId("Command2")));
  const auto ask = waitMessageBox(app, L"Delete Found Files", kStep);
  ASSERT_TRUE(ask) << "no question";
  EXPECT_EQ(ask->text, L"Delete Files?");
  EXPECT_EQ(ask->buttons, (std::vector<int>{IDYES, IDNO}));
  ASSERT_TRUE(answer(ask->hwnd, IDYES));
  const auto done = waitMessageBox(app, L"Deleted", kStep);
  ASSERT_TRUE(done) << "no closing box";
  EXPECT_EQ(done->text, L"Files deleted!");
  EXPECT_EQ(done->buttons, (std::vector<int>{IDOK}));
  ASSERT_TRUE(answer(done->hwnd, IDOK));

  for (const auto& f : found) EXPECT_FALSE(exists(f)) << narrow(f);
  EXPECT_TRUE(exists(kPlanted + L"\\Old\\corvane.ini.bak"));
  EXPECT_EQ(listItems(list), std::optional(found)) << "the entries stay listed";

  ASSERT_TRUE(closeWindow(main));
  EXPECT_EQ(app.waitExit(kStep), std::optional<DWORD>(0));
}

// --- The designed look ---------------------------------------------------------

int pixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

// Compares the running window with its layout, converted with the screen's DPI.
void checkLayout(HWND window, const ui::FormLayout& layout) {
  const HDC screen = GetDC(nullptr);
  const int dpiX = GetDeviceCaps(screen, LOGPIXELSX), dpiY = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);

  EXPECT_EQ(text(window), widen(layout.caption));
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, pixels(layout.clientWidth, dpiX));
  EXPECT_EQ(client.bottom, pixels(layout.clientHeight, dpiY));
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), static_cast<DWORD>(WS_CAPTION | WS_SYSMENU));
  EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0u) << "only a fixed dialog frame";
  EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
  EXPECT_EQ(exStyle & (WS_EX_APPWINDOW | WS_EX_TOOLWINDOW), 0u);
  const HWND owner = GetWindow(window, GW_OWNER);
  EXPECT_TRUE(owner && !IsWindowVisible(owner)) << "no taskbar button: owned by a hidden window";
  const auto probed = probe(window);
  ASSERT_TRUE(probed) << "the program did not answer the probe";
  EXPECT_TRUE(probed->classIcon) << "the application icon";
  RECT frame{};
  GetWindowRect(window, &frame);
  EXPECT_NEAR(frame.left + frame.right, GetSystemMetrics(SM_CXSCREEN), 1) << "centred";
  EXPECT_NEAR(frame.top + frame.bottom, GetSystemMetrics(SM_CYSCREEN), 1) << "centred";

  std::vector<const ui::ControlLayout*> tabOrder;
  for (const auto& c : layout.controls) tabOrder.push_back(&c);
  std::stable_sort(tabOrder.begin(), tabOrder.end(), [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });
  std::vector<std::string> expectedOrder, order;
  for (const auto* c : tabOrder) expectedOrder.push_back(c->name);
  for (HWND kid = GetWindow(window, GW_CHILD); kid; kid = GetWindow(kid, GW_HWNDNEXT))
    for (const auto& c : layout.controls)
      if (GetDlgCtrlID(kid) == layout.controlId(c.name)) order.push_back(c.name);
  EXPECT_EQ(order, expectedOrder) << "tab order";

  for (const auto& c : layout.controls) {
    SCOPED_TRACE(std::string(layout.name) + "." + c.name);
    const HWND kid = control(window, layout, c.name);
    ASSERT_TRUE(kid);
    wchar_t kind[64] = {};
    GetClassNameW(kid, kind, 64);
    const wchar_t* expectedKind = c.kind == ui::ControlKind::Label     ? L"Static"
                                  : c.kind == ui::ControlKind::ListBox ? L"ListBox"
                                                                       : L"Button";
    EXPECT_EQ(_wcsicmp(kind, expectedKind), 0) << narrow(kind);
    const auto kidStyle = static_cast<DWORD>(GetWindowLongPtrW(kid, GWL_STYLE));
    if (c.kind == ui::ControlKind::CommandButton) {
      EXPECT_LE(kidStyle & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON)) << "a push button";
    }
    RECT r{};
    GetWindowRect(kid, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, pixels(c.left, dpiX));
    EXPECT_EQ(r.top, pixels(c.top, dpiY));
    EXPECT_EQ(r.right - r.left, pixels(c.width, dpiX));
    EXPECT_EQ(r.bottom - r.top, pixels(c.height, dpiY));
    EXPECT_EQ(IsWindowVisible(kid) != FALSE, c.visible);
    if (*c.caption) {
      EXPECT_EQ(text(kid), widen(c.caption));
    }

    const auto font = probe(kid);
    ASSERT_TRUE(font) << "the program did not answer the probe";
    EXPECT_EQ(font->systemFont, c.defaultFont);
    if (!c.defaultFont) {
      EXPECT_STREQ(font->font.lfFaceName, ui::kFontFace);
      EXPECT_DOUBLE_EQ(-font->font.lfHeight * 72.0 / dpiY, ui::kFontPoints);
      EXPECT_EQ(font->font.lfWeight, FW_NORMAL);
      EXPECT_FALSE(font->font.lfItalic || font->font.lfUnderline || font->font.lfStrikeOut);
    }
  }
}

TEST(Layout, Form1AtStart) {
  Process app = Process::start(privateCopy(), "");
  HWND main = waitMainWindow(app);
  ASSERT_TRUE(main) << "no main window";
  checkLayout(main, ui::kForm1Layout);
  ASSERT_TRUE(closeWindow(main));
  EXPECT_EQ(app.waitExit(kStep), std::optional<DWORD>(0));
}

TEST(Layout, FrmstatusWhileItSearches) {
  // Measured while the search walks a tree of empty folders on T:, which it
  // lists nothing from.
  const fs::path drive(L"T:\\");
  // Emptied from the host side: earlier tests leave links and read-only files there.
  ASSERT_EQ(runHost("find " + shellQuote(hostPath(drive.wstring())) + " -mindepth 1 -maxdepth 1 -exec rm -rf -- {} +"),
            0);
  for (int i = 0; i < 30; ++i)
    for (int j = 0; j < 30; ++j)
      fs::create_directories(drive / (L"Ballast" + std::to_wstring(i)) / (L"B" + std::to_wstring(j)));

  Process app = Process::start(privateCopy(), R"(CLEANUP,"T:\App\")");
  ASSERT_TRUE(confirmCleanup(app)) << "the questions did not come";
  HWND status = waitStatusWindow(app, kStep);
  ASSERT_TRUE(status) << "no status window";
  checkLayout(status, ui::kFrmstatusLayout);
  EXPECT_TRUE(app.running()) << "measured after the search: the tree is too small";
  EXPECT_EQ(app.waitExit(Ms(300000)), std::optional<DWORD>(0));
}

// --- Resources -------------------------------------------------------------------

#pragma pack(push, 2)
struct IconGroupEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

std::wstring versionText(const std::vector<char>& info, const wchar_t* name) {
  wchar_t* value = nullptr;
  UINT length = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return {};
  return value;
}

TEST(Resources, IconVersionAndManifest) {
  const std::wstring exe = dosPath(CORVANE_EXE);
  const HMODULE module =
      LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_TRUE(module);
  const auto resource = [&](LPCSTR type) -> std::string {
    const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), type);
    if (!found) return {};
    return std::string(static_cast<const char*>(LockResource(LoadResource(module, found))),
                       SizeofResource(module, found));
  };

  const std::string group = resource(RT_GROUP_ICON);
  ASSERT_GE(group.size(), 6u) << "no icon";
  const WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
  ASSERT_EQ(group.size(), 6u + count * sizeof(IconGroupEntry));
  std::vector<std::string> images;
  for (WORD i = 0; i < count; ++i) {
    const auto* entry = reinterpret_cast<const IconGroupEntry*>(group.data() + 6) + i;
    images.push_back(std::to_string(entry->width) + "x" + std::to_string(entry->height) + "x" +
                     std::to_string(entry->colours ? entry->colours : 256) + "/" + std::to_string(entry->bitCount));
    const HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(entry->id), RT_ICON);
    ASSERT_TRUE(image) << images.back();
    const HICON icon = CreateIconFromResourceEx(static_cast<BYTE*>(LockResource(LoadResource(module, image))),
                                                SizeofResource(module, image), TRUE, 0x00030000, entry->width,
                                                entry->height, LR_DEFAULTCOLOR);
    EXPECT_TRUE(icon) << images.back() << " is no valid image";
    if (icon) DestroyIcon(icon);
  }
  EXPECT_EQ(images, (std::vector<std::string>{"32x32x2/1", "32x32x16/4", "16x16x16/4"}));

  const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), nullptr);
  std::vector<char> info(size);
  ASSERT_TRUE(size && GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));
  EXPECT_EQ(versionText(info, L"FileVersion"), L"1.00");
  EXPECT_EQ(versionText(info, L"ProductVersion"), L"1.00");
  EXPECT_EQ(versionText(info, L"ProductName"), L"Project1");
  EXPECT_EQ(versionText(info, L"InternalName"), L"CorvaneFileCleanup");
  EXPECT_EQ(versionText(info, L"OriginalFilename"), L"CorvaneFileCleanup.exe");

  const std::string manifest = resource(RT_MANIFEST);
  for (const char* part :
       {R"(level="asInvoker")", R"(<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>)"})
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  // The common controls would cost their memory in every run for no control the windows use.
  EXPECT_EQ(manifest.find("Common-Controls"), std::string::npos);
  FreeLibrary(module);
}

}  // namespace
}  // namespace e2e
