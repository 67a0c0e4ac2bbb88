#include <string>

#include "export/MetadataText.h"
#include "export/PictureWriter.h"

namespace {

// Binary PGM (grey pictures only) or PPM, chosen by the extension; the header carries the
// frame's text as a comment.
class CPnmWriter : public IPictureWriter {
  public:
    FileResult Write(const Picture& picture, const PictureText& text,
                     const std::string& path) override {
        const bool grey = LowerExtension(path) == "pgm";
        if (grey && !picture.grey) {
            return FileResult::Failure("cannot write " + path +
                                       ": a colour picture does not fit PGM (use .ppm)");
        }
        std::string bytes = std::string(grey ? "P5" : "P6") + "\n# " + AsciiLine(text.Describe()) +
                            "\n" + std::to_string(picture.width) + " " +
                            std::to_string(picture.height) + "\n255\n";
        if (grey) {
            const std::vector<std::uint8_t> plane = picture.GreyPlane();
            bytes.append(plane.begin(), plane.end());
        } else {
            bytes.append(picture.rgb.begin(), picture.rgb.end());
        }
        return WriteWholeFile(path, bytes.data(), bytes.size(), m_pBatch);
    }
};

}  // namespace

std::unique_ptr<IPictureWriter> MakePnmWriter() {
    return std::make_unique<CPnmWriter>();
}
