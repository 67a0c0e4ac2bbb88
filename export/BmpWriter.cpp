#include "export/PictureWriter.h"
#include "processing/FrameProcessor.h"

namespace {

// Our BMP exactly as the viewer's Save writes it (the file carries no text).
class CBmpWriter : public IPictureWriter {
  public:
    bool Write(const Picture& picture, const PictureText&, const std::string& path,
               std::string* error) override {
        if (!CFrameProcessor::WriteBmp(picture.bgrFlipped.data(), picture.width, picture.height,
                                       path.c_str())) {
            *error = "cannot write " + path;
            return false;
        }
        return true;
    }
};

}  // namespace

std::unique_ptr<IPictureWriter> MakeBmpWriter() {
    return std::make_unique<CBmpWriter>();
}
