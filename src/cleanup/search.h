#pragma once
#include <string>
#include <vector>

#include "cleanup/folder_list.h"
#include "runtime/checked.h"
#include "ui/controls.h"

namespace module1 {

// Appends the full path of every entry below `Path` whose name matches
// SEARCHSTR (and holds a ".") to pstr_files, folder by folder in pre-order.
// pobj_folders, when there is one, records the folders and the entries named
// as its names, or has the search follow those recorded (see FolderList);
// either way a search for one of its names takes its matches from it, as
// the folder's one enumeration met them.
void FINDFILESAPI(std::string& Path, const std::string& SEARCHSTR, rt::int16& FileCount, rt::int32& DirCount,
                  ui::Label* pobj_label, ui::Label* pobj_label2, std::vector<std::string>& pstr_files,
                  FolderList* pobj_folders);

// Cuts ORIGINALSTR before its first NUL and returns it.
std::string STRIPNULLS(std::string& ORIGINALSTR);

}  // namespace module1
