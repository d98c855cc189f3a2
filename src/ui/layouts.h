#pragma once
// The designed windows as data: positions and sizes in twips (15 to a pixel
// at 96 DPI), read by the Win32 window layer and by the UI driver of the tests.
#include <span>
#include <string_view>

namespace ui {

enum class ControlKind { Label, ListBox, CommandButton, FileListBox, MultiSelectListBox };

struct ControlLayout {
  const char* name;
  ControlKind kind;
  int left, top, width, height;
  int tabIndex;
  const char* caption;
  bool wordWrap = false;
  bool visible = true;
  bool defaultFont = false;  // keeps the system font instead of Verdana
};

struct FormLayout {
  const char* name;
  const char* caption;
  int clientWidth, clientHeight;
  std::span<const ControlLayout> controls;

  // Window control identifier of a control: 1000 + its place in the table.
  int controlId(std::string_view controlName) const;
};

extern const FormLayout kForm1Layout;
extern const FormLayout kFrmstatusLayout;
extern const FormLayout kFrmpicsLayout;  // never shown
extern const FormLayout kFrmrestoreLayout;

constexpr const char* kFontFace = "Verdana";
constexpr double kFontPoints = 9.75;

}  // namespace ui
