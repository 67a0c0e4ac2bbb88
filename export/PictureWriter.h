#pragma once

#include <memory>
#include <string>

#include "export/Picture.h"

// Writes one picture as one file of its format. A file is replaced whole or not at all.
class IPictureWriter {
  public:
    virtual ~IPictureWriter() = default;
    // False with *error naming the file and the reason.
    virtual bool Write(const Picture& picture, const PictureText& text, const std::string& path,
                       std::string* error) = 0;

    // A sequence of many files is flushed to disk once at its end instead of file by file.
    void SetFlushEachFile(bool flush) { m_bFlushEachFile = flush; }

  protected:
    bool m_bFlushEachFile = true;
};

// The writer for a file name's extension (.png, .tif, .tiff, .bmp, .pgm, .ppm, any case);
// null for any other.
std::unique_ptr<IPictureWriter> PictureWriterFor(const std::string& path);

// The extension of a path in lower case, without the dot ("" when there is none).
std::string LowerExtension(const std::string& path);

// The formats' own writers.
std::unique_ptr<IPictureWriter> MakePngWriter();
std::unique_ptr<IPictureWriter> MakeTiffWriter();
std::unique_ptr<IPictureWriter> MakeBmpWriter();
std::unique_ptr<IPictureWriter> MakePnmWriter();

// Replaces path whole with the bytes given (written aside, then renamed into place), flushed
// to disk first when asked; false with *error otherwise.
bool WriteWholeFile(const std::string& path, const void* pData, std::size_t size, bool flush,
                    std::string* error);
