#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/files/AsideFile.h"
#include "platform/files/FileResult.h"
#include "platform/files/OutputTarget.h"

// A set of files written together that replace what was there only when all of them are
// done: each is written aside under a temporary name (NAME.tmp-PID-N) beside its destination,
// and Commit flushes them with one sync and renames them into place. Until then every file
// that existed stays exactly as it was; a batch dropped unfinished removes its temporary
// files and nothing else. Destinations follow the rules of ResolveOutputTarget (links
// followed, permissions kept, devices, FIFOs, sockets and directories refused). Add, Write
// and Append may be called from several threads at once (an export's jobs); Commit and the
// destructor run once the writing threads are done.
class COutputBatch {
  public:
    COutputBatch() = default;
    COutputBatch(const COutputBatch&) = delete;
    COutputBatch& operator=(const COutputBatch&) = delete;
    ~COutputBatch();  // removes the temporary files of an uncommitted batch

    // Checks PATH as a destination and creates its empty temporary file, with the mode of
    // the file it will replace.
    FileResult Add(const std::string& path);
    // Add and a first Append in one: a whole file at once.
    FileResult Write(const std::string& path, const void* pData, std::size_t size);
    // Appends to the temporary file of an added path, whole or not at all: a failed append
    // (the disk full half-way) cuts the file back to what it held before.
    FileResult Append(const std::string& path, const void* pData, std::size_t size);
    // The temporary file of an added path open for writing, for a caller that streams into it
    // itself (a recording); the caller closes *fd.
    FileResult OpenAdded(const std::string& path, int* fd);
    // Cuts the temporary file of an added path to size bytes (or lengthens it with zeros).
    FileResult Resize(const std::string& path, std::uint64_t size);
    // Leaves PATH out: its temporary file is removed and what it would replace stays.
    void Drop(const std::string& path);
    // Flushes every temporary file to disk (one sync per file system), then renames each into
    // place and flushes the folders. When any step fails, the temporary files not yet
    // renamed are removed.
    FileResult Commit();

  private:
    struct Member {
        std::string path;  // as the caller named it, for messages
        OutputTarget target;
        AsideFile aside;  // its descriptor closed between writes
    };
    // Add's work; the temporary file's descriptor open for writing, or -1 with *result.
    int Create(const std::string& path, FileResult* result);
    // The temporary file of an added path open for writing, or -1 with *result.
    int OpenAddedFile(const std::string& path, FileResult* result);
    void RemoveTemporaryFiles();

    std::mutex m_mutex;  // guards the members and both indexes while jobs add and append
    std::vector<Member> m_members;
    std::unordered_map<std::string, std::size_t> m_byPath;    // caller's name to member
    std::unordered_map<std::string, std::size_t> m_byTarget;  // file replaced to member
};
