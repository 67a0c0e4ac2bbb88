#include "export/PictureWriter.h"

#include <cctype>
#include <filesystem>

#include "export/ExportFormats.h"
#include "platform/files/AtomicFile.h"

std::string LowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    if (!extension.empty()) {
        extension.erase(0, 1);
    }
    for (char& c : extension) {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension;
}

std::unique_ptr<IPictureWriter> PictureWriterFor(const std::string& path) {
    const ExportFormat* pFormat = ExportFormatFor(path);
    return pFormat != nullptr && pFormat->makeWriter != nullptr ? pFormat->makeWriter() : nullptr;
}

FileResult WriteWholeFile(const std::string& path, const void* pData, std::size_t size,
                          COutputBatch* pBatch) {
    return pBatch != nullptr ? pBatch->Write(path, pData, size)
                             : WriteFileAtomically(path, pData, size);
}
