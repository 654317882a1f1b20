#pragma once

// Where the plug-in lives on disk, as every window-system binding needs it: the loaded object
// (plug-in module, or the program the editor is linked into) that contains the editor's code, the
// bundle folder holding it, and the plug-in's resource files beside it. Any thread; allocates.

#include <string>

namespace modulepath {

// The running program's file ("" when the system cannot say).
std::string ExecutablePath();

// The file of the loaded object that contains the editor's code: the plug-in module wherever it was
// loaded from, or the program itself when the editor is linked into it; "" when the loader cannot
// say. A module loaded by a relative path is named from the current folder.
std::string ModuleFilePath();

// The folder part of a path without the trailing slash: "/a/b" for "/a/b/c", "/" for "/c", "." for
// a bare name.
std::string DirectoryOf(const std::string& path);

// Finds <folder>/<fileName> in the plug-in's resource folders and writes it to *path. With a
// non-empty `onlyFolder` only that folder is searched. Otherwise, in order: "resources/img" in the
// bundle folder (beside ModuleFilePath), beside the executable and one or two folders above it, and
// last `sourceFolder` when not empty (a source tree's images, for programs run from a build tree).
// False when no folder has a regular file of that name.
bool FindResource(const std::string& fileName, const std::string& onlyFolder, const char* sourceFolder,
                  std::string* path);

}  // namespace modulepath
