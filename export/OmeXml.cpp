#include "export/OmeXml.h"

#include <libxml/xmlwriter.h>

#include <cstdio>
#include <memory>

#include "export/MetadataText.h"

namespace {

const char* const kOmeNamespace = "http://www.openmicroscopy.org/Schemas/OME/2016-06";
const char* const kSchemaLocation =
    "http://www.openmicroscopy.org/Schemas/OME/2016-06 "
    "http://www.openmicroscopy.org/Schemas/OME/2016-06/ome.xsd";

const xmlChar* X(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

// Every value passes XmlText first: libxml2 escapes markup but writes any byte it is given.
// Every call of libxml2's writer returns a negative count on failure; this keeps the
// first failure and skips the rest.
class CXmlOut {
  public:
    explicit CXmlOut(xmlTextWriterPtr writer) : m_writer(writer) {}
    void Start(const char* element) { Check(xmlTextWriterStartElement(m_writer, X(element))); }
    void End() { Check(xmlTextWriterEndElement(m_writer)); }
    void Attribute(const char* name, const std::string& value) {
        Check(xmlTextWriterWriteAttribute(m_writer, X(name), X(XmlText(value).c_str())));
    }
    void Text(const std::string& text) {
        Check(xmlTextWriterWriteString(m_writer, X(XmlText(text).c_str())));
    }
    void Element(const char* element, const std::string& text) {
        Start(element);
        Text(text);
        End();
    }
    void Check(int result) { m_bFailed = m_bFailed || result < 0; }
    bool Failed() const { return m_bFailed; }

  private:
    xmlTextWriterPtr m_writer;
    bool m_bFailed = false;
};

void WriteImage(CXmlOut& out, const OmeSeries& series) {
    const std::string planes = std::to_string(series.deltaT.size());
    out.Start("Image");
    out.Attribute("ID", "Image:0");
    out.Attribute("Name", series.name);
    if (!series.startTime.empty()) {
        out.Element("AcquisitionDate", series.startTime);
    }
    out.Start("Pixels");
    out.Attribute("ID", "Pixels:0");
    out.Attribute("DimensionOrder", "XYCZT");
    out.Attribute("Type", "uint8");
    out.Attribute("SizeX", std::to_string(series.width));
    out.Attribute("SizeY", std::to_string(series.height));
    out.Attribute("SizeC", series.grey ? "1" : "3");
    out.Attribute("SizeZ", "1");
    out.Attribute("SizeT", planes);
    out.Attribute("Interleaved", series.grey ? "false" : "true");
    out.Start("Channel");
    out.Attribute("ID", "Channel:0:0");
    out.Attribute("SamplesPerPixel", series.grey ? "1" : "3");
    out.End();
    out.Start("TiffData");
    out.Attribute("IFD", "0");
    out.Attribute("PlaneCount", planes);
    out.End();
    for (std::size_t t = 0; t < series.deltaT.size(); ++t) {
        out.Start("Plane");
        out.Attribute("TheZ", "0");
        out.Attribute("TheT", std::to_string(t));
        out.Attribute("TheC", "0");
        if (series.deltaTKnown) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.6f", series.deltaT[t]);
            out.Attribute("DeltaT", seconds);
            out.Attribute("DeltaTUnit", "s");
        }
        out.End();
    }
    out.End();  // Pixels
    out.Start("AnnotationRef");
    out.Attribute("ID", "Annotation:0");
    out.End();
    out.End();  // Image
}

void WriteAnnotations(CXmlOut& out, const OmeSeries& series) {
    out.Start("StructuredAnnotations");
    out.Start("MapAnnotation");
    out.Attribute("ID", "Annotation:0");
    out.Attribute("Namespace", "pandry/recording");
    out.Start("Value");
    for (const auto& [key, value] : series.annotations) {
        out.Start("M");
        out.Attribute("K", key);
        out.Text(value);
        out.End();
    }
    out.End();
    out.End();
    out.End();
}

}  // namespace

std::string OmeXmlFor(const OmeSeries& series, std::string* error) {
    std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buffer(xmlBufferCreate(), &xmlBufferFree);
    if (!buffer) {
        *error = "cannot build the OME-XML: out of memory";
        return {};
    }
    xmlTextWriterPtr writer = xmlNewTextWriterMemory(buffer.get(), 0);
    if (writer == nullptr) {
        *error = "cannot build the OME-XML: out of memory";
        return {};
    }
    CXmlOut out(writer);
    out.Check(xmlTextWriterStartDocument(writer, nullptr, "UTF-8", nullptr));
    out.Start("OME");
    out.Attribute("xmlns", kOmeNamespace);
    out.Attribute("xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance");
    out.Attribute("xsi:schemaLocation", kSchemaLocation);
    out.Attribute("Creator", "Pandry");
    WriteImage(out, series);
    WriteAnnotations(out, series);
    out.End();
    out.Check(xmlTextWriterEndDocument(writer));
    xmlFreeTextWriter(writer);  // flushes into the buffer
    if (out.Failed()) {
        *error = "cannot build the OME-XML: out of memory";
        return {};
    }
    return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                       std::size_t(xmlBufferLength(buffer.get())));
}
