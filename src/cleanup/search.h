#pragma once
#include <string>
#include <vector>

#include "runtime/checked.h"
#include "ui/controls.h"

namespace module1 {

// Appends the full path of every entry below `Path` whose name matches
// SEARCHSTR (and holds a ".") to pstr_files, folder by folder in pre-order.
void FINDFILESAPI(std::string& Path, const std::string& SEARCHSTR, rt::int16& FileCount, rt::int32& DirCount,
                  ui::Label* pobj_label, ui::Label* pobj_label2, std::vector<std::string>& pstr_files);

// Cuts ORIGINALSTR before its first NUL and returns it.
std::string STRIPNULLS(std::string& ORIGINALSTR);

}  // namespace module1
