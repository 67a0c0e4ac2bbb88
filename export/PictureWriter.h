#pragma once

#include <memory>
#include <string>

#include "export/Picture.h"
#include "platform/files/OutputBatch.h"

// Writes one picture as one file of its format. A file is replaced whole or not at all.
class IPictureWriter {
  public:
    virtual ~IPictureWriter() = default;
    virtual FileResult Write(const Picture& picture, const PictureText& text,
                             const std::string& path) = 0;

    // The files of a sequence join a batch that replaces them all at its end, with one flush
    // to disk instead of one per file; null (the default) writes each file whole at once.
    void WriteInto(COutputBatch* pBatch) { m_pBatch = pBatch; }

  protected:
    COutputBatch* m_pBatch = nullptr;
};

// The writer for a file name's extension (any case), as the format table names it; null for
// a name whose format is not written picture by picture.
std::unique_ptr<IPictureWriter> PictureWriterFor(const std::string& path);

// The extension of a path in lower case, without the dot ("" when there is none).
std::string LowerExtension(const std::string& path);

// The formats' own writers.
std::unique_ptr<IPictureWriter> MakePngWriter();
std::unique_ptr<IPictureWriter> MakeTiffWriter();
std::unique_ptr<IPictureWriter> MakeBmpWriter();
std::unique_ptr<IPictureWriter> MakePnmWriter();

// Replaces path whole with the bytes given (written aside, then renamed into place), at once
// or, with a batch, when the batch is committed.
FileResult WriteWholeFile(const std::string& path, const void* pData, std::size_t size,
                          COutputBatch* pBatch);
