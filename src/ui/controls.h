#pragma once
// What the window logic may do with controls; the Win32 layer supplies real
// ones, the tests recording ones.
#include <string>
#include <string_view>

#include "runtime/checked.h"

namespace ui {

struct FormLayout;

class Label {
 public:
  virtual ~Label() = default;
  virtual void Caption(std::string_view text) = 0;
  virtual std::string Caption() const = 0;
};

class ListBox {
 public:
  virtual ~ListBox() = default;
  virtual void AddItem(std::string_view item) = 0;
  virtual int ListCount() const = 0;
  // Raises "Subscript out of range" (9) outside 0..ListCount-1.
  virtual std::string List(int index) const = 0;
  virtual void Clear() {}
  // Only a list box that selects many has a selection to tell.
  virtual void Selected(int /*index*/, bool /*selected*/) {}
  virtual bool Selected(int /*index*/) const { return false; }
};

// Lists the names of the files in one folder.
class FileListBox {
 public:
  virtual ~FileListBox() = default;
  // Setting the folder fills the list; a folder that cannot be read raises.
  virtual void Path(const std::string& folder) = 0;
  virtual std::string Path() const = 0;
  virtual int ListCount() const = 0;
  virtual std::string List(int index) const = 0;
};

// The controls of one window, found by their design names.
class Controls {
 public:
  virtual ~Controls() = default;
  virtual Label& label(std::string_view name) = 0;
  virtual ListBox& listBox(std::string_view name) = 0;
  virtual FileListBox& fileListBox(std::string_view name);
};

// A window's logic: the event procedures the window layer routes to.
class Form {
 public:
  virtual ~Form() = default;
  virtual const FormLayout& Layout() const = 0;
  // Called once the window's controls exist, before Form_Load.
  virtual void Bind(Controls& controls) = 0;
  virtual void Form_Load() {}
  virtual void Form_Activate() {}
  // False refuses a close asked for by the user.
  virtual bool AllowUserClose() { return true; }
  virtual void Form_Unload(rt::int16& /*Cancel*/) {}
  virtual void Click(std::string_view /*control*/) {}
};

// Shows the program's windows.
class WindowHost {
 public:
  virtual ~WindowHost() = default;
  // Creates the window on first use; a modal show returns when it closes.
  virtual void Show(Form& form, bool modal) = 0;
  // Creates the window, hidden, on first use.
  virtual void Load(Form& form);
  // Runs the window as a modal show does without ever showing it: for a run
  // that nobody watches.
  virtual void RunHidden(Form& form);
  // Asks for the window to be painted anew.
  virtual void Refresh(Form& form) = 0;
};

void install(WindowHost* host);
WindowHost& windows();

}  // namespace ui
