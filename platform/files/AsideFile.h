#pragma once

#include <string>

#include "platform/files/FileResult.h"
#include "platform/files/OutputTarget.h"

// The file every writer fills before renaming it over its destination. All of them make it
// the same way: under a fresh name beside the file replaced (O_EXCL, so a file or link
// planted under a temporary name is never written through), with the mode and owner of the
// file it replaces, and removed by a signal that ends the process. Temporary files that a
// killed run left beside a linked name's target are removed first, as those beside the
// name itself are by the writers' own clean-up.
struct AsideFile {
    std::string path;  // empty: none
    int fd = -1;       // open for reading and writing
    int cleanupTicket = -1;
};

// Creates the aside file for TARGET (what ResolveOutputTarget found for NAME); the result
// names NAME and the reason.
FileResult CreateAsideFile(const std::string& name, const OutputTarget& target, AsideFile* aside);
// Renames the aside file over the target: afterwards nothing is left to remove.
FileResult PutAsideFileInPlace(const std::string& name, const OutputTarget& target,
                               AsideFile* aside);
// Closes the descriptor, if still open, and removes the file.
void RemoveAsideFile(AsideFile* aside);
