#include "ui/layouts.h"

namespace ui {
namespace {
using K = ControlKind;

constexpr ControlLayout form1Controls[] = {
    {"Label3", K::Label, 240, 480, 1815, 375, 4, "Directory"},
    {"Label2", K::Label, 2400, 240, 6615, 735, 2, "", true},
    {"Label4", K::Label, 240, 1320, 1815, 495, 5, "File Found"},
    {"Label1", K::Label, 2400, 1320, 6615, 615, 1, ""},
    {"Label6", K::Label, 240, 2280, 1815, 495, 7, "No. Files Found"},
    {"Label5", K::Label, 2400, 2280, 2895, 495, 6, ""},
    {"Command1", K::CommandButton, 5520, 2280, 1695, 615, 0, "Find"},
    {"Command2", K::CommandButton, 7440, 2280, 1695, 615, 8, "Delete Files"},
    {"List1", K::ListBox, 360, 3000, 8895, 4380, 3, ""},
};

constexpr ControlLayout frmstatusControls[] = {
    {"Label5", K::Label, 1320, 240, 7095, 375, 2, "Performing Corvane File Cleanup. Please wait..."},
    {"Label3", K::Label, 120, 240, 375, 255, 6, "Label3", false, false, true},
    {"Label1", K::Label, 360, 840, 1575, 615, 0, "Processing Folder:"},
    {"Label2", K::Label, 2040, 840, 7095, 735, 1, "", true},
    {"Label6", K::Label, 360, 1800, 1815, 375, 3, "Files Found:"},
    {"Label7", K::Label, 2280, 1800, 6855, 375, 4, ""},
    {"List1", K::ListBox, 240, 2400, 9135, 1740, 5, ""},
};
// Beside the windows Setup shows: the list is that of the cleanup windows, selecting many.
constexpr ControlLayout frmrestoreControls[] = {
    {"Label1", K::Label, 240, 240, 9135, 615, 2, "", true},
    {"List1", K::MultiSelectListBox, 240, 960, 9135, 4380, 0, ""},
    {"Command1", K::CommandButton, 5520, 5520, 1695, 615, 1, "Restore"},
    {"Command2", K::CommandButton, 7680, 5520, 1695, 615, 3, "Close"},
};
// Only the file list is used; the window's pictures and dialog control are left out.
constexpr ControlLayout frmpicsControls[] = {
    {"FDirectory", K::FileListBox, 3420, 2250, 2130, 615, 0, ""},
};
}  // namespace

int FormLayout::controlId(std::string_view controlName) const {
  for (std::size_t i = 0; i < controls.size(); ++i)
    if (controlName == controls[i].name) return 1000 + static_cast<int>(i);
  return 0;
}

const FormLayout kForm1Layout{"Form1", "Cleanup Corvane Files", 9750, 7845, form1Controls};
const FormLayout kFrmpicsLayout{"frmpics", "Pictures", 9000, 5625, frmpicsControls};
const FormLayout kFrmrestoreLayout{"frmrestore", "Restore Corvane Files", 9630, 6375, frmrestoreControls};
const FormLayout kFrmstatusLayout{"frmstatus", "Corvane File Cleanup", 9630, 4365, frmstatusControls};

}  // namespace ui
