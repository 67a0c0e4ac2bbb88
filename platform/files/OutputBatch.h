#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "platform/files/OutputTarget.h"

// A set of files written together that replace what was there only when all of them are
// done: each is written aside under a temporary name (NAME.tmp-PID-N) beside its destination,
// and Commit flushes them with one sync and renames them into place. Until then every file
// that existed stays exactly as it was; a batch dropped unfinished removes its temporary
// files and nothing else. Destinations follow the rules of ResolveOutputTarget (links
// followed, permissions kept, devices, FIFOs, sockets and directories refused). Add and
// Append may be called from several threads at once (an export's jobs); Commit and the
// destructor run once the writing threads are done.
class COutputBatch {
  public:
    COutputBatch() = default;
    COutputBatch(const COutputBatch&) = delete;
    COutputBatch& operator=(const COutputBatch&) = delete;
    ~COutputBatch();  // removes the temporary files of an uncommitted batch

    // Checks PATH as a destination and creates its empty temporary file, with the mode of
    // the file it will replace; the temporary file's name, or "" with *error.
    std::string Add(const std::string& path, std::string* error);
    // Appends to the temporary file of an added path; false with *error naming PATH.
    bool Append(const std::string& path, const void* pData, std::size_t size, std::string* error);
    // Flushes every temporary file to disk (one sync per file system), then renames each into
    // place and flushes the folders. False with *error when any step failed; the temporary
    // files not yet renamed are then removed.
    bool Commit(std::string* error);

  private:
    struct Member {
        std::string path;  // as the caller named it, for messages
        OutputTarget target;
        std::string temp;
        int cleanupTicket = -1;
    };
    const Member* Find(const std::string& path) const;
    void RemoveTemporaryFiles();

    std::mutex m_mutex;  // guards m_members while jobs add and append
    std::vector<Member> m_members;
};
