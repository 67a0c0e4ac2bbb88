#include "export/PictureWriter.h"
#include "processing/FrameProcessor.h"

namespace {

// Our BMP exactly as the viewer's Save writes it (the file carries no text).
class CBmpWriter : public IPictureWriter {
  public:
    FileResult Write(const Picture& picture, const PictureText&, const std::string& path) override {
        const std::vector<std::uint8_t> bytes = CFrameProcessor::BmpFileBytes(
            picture.BgrBottomUp().data(), picture.width, picture.height);
        if (bytes.empty()) {
            return FileResult::Failure("cannot write " + path + ": no picture");
        }
        return WriteWholeFile(path, bytes.data(), bytes.size(), m_pBatch);
    }
};

}  // namespace

std::unique_ptr<IPictureWriter> MakeBmpWriter() {
    return std::make_unique<CBmpWriter>();
}
