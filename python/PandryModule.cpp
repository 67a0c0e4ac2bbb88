// The Python module "pandry": the viewer's processing for scripts, on numpy arrays.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "camera/ReplaySource.h"
#include "export/FrameRenderer.h"
#include "processing/CalibrationFile.h"
#include "sensor/Defaults.h"
#include "sensor/FoveaTable.h"
#include "sensor/LogPolarFrame.h"
#include "sensor/RemapTable.h"
#include "sidecar/RecordingMetadata.h"

namespace py = pybind11;

namespace {

using ByteArray = py::array_t<std::uint8_t, py::array::c_style>;

// The frame's bytes, borrowed from a bytes object or any C-contiguous uint8 array of
// 38304 elements; ValueError for anything else.
const std::uint8_t* FrameBytesOf(const py::buffer& frame, py::buffer_info* info) {
    *info = frame.request();
    if (info->itemsize != 1 || (info->format != "B" && info->format != "c")) {
        throw py::value_error("a frame must hold unsigned bytes (uint8), not format '" +
                              info->format + "'");
    }
    if (std::size_t(info->size) != kFrameBytes) {
        throw py::value_error("a frame holds " + std::to_string(kFrameBytes) +
                              " samples (252 sectors x 152 rings), not " +
                              std::to_string(info->size));
    }
    py::ssize_t expected = 1;
    for (py::ssize_t axis = info->ndim - 1; axis >= 0; --axis) {
        if (info->shape[axis] != 1 && info->strides[axis] != expected) {
            throw py::value_error("a frame must be contiguous (use numpy.ascontiguousarray)");
        }
        expected *= info->shape[axis];
    }
    return static_cast<const std::uint8_t*>(info->ptr);
}

// A calibration given as an array is stored in the calibration file format for the
// processor to load, then removed.
class CTemporaryCalibration {
  public:
    explicit CTemporaryCalibration(const py::array& values) {
        auto dark = py::array_t<std::int32_t, py::array::c_style | py::array::forcecast>(values);
        if (std::size_t(dark.size()) != kFrameBytes) {
            throw py::value_error("a calibration array holds 38304 dark levels (252 x 152), not " +
                                  std::to_string(dark.size()));
        }
        char name[] = "/tmp/pandry-calibration-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) {
            throw py::value_error("cannot store the calibration array: " +
                                  std::string(std::strerror(errno)));
        }
        close(fd);
        m_strPath = name;
        if (!StoreCalibrationFile(m_strPath.c_str(), dark.data())) {
            std::remove(m_strPath.c_str());
            throw py::value_error("cannot store the calibration array in " + m_strPath);
        }
    }
    ~CTemporaryCalibration() { std::remove(m_strPath.c_str()); }
    const std::string& Path() const { return m_strPath; }

  private:
    std::string m_strPath;
};

RenderSettings SettingsFrom(const std::string& sensor, int size, int offset, int gain,
                            bool remapped) {
    if (sensor != "mono" && sensor != "color") {
        throw py::value_error("sensor must be 'mono' or 'color', not '" + sensor + "'");
    }
    if (size != kNormalSize && size != kZoomedSize) {
        throw py::value_error("size must be 256 or 512, not " + std::to_string(size));
    }
    if (offset < -999 || offset > 999) {
        throw py::value_error("offset must be from -999 to 999");
    }
    if (gain < -99 || gain > 999) {
        throw py::value_error("gain must be from -99 to 999");
    }
    RenderSettings settings;
    settings.color = sensor == "color";
    settings.size = size;
    settings.offset = offset;
    settings.gain = gain;
    settings.remapped = remapped;
    return settings;
}

// Two renderers, one per view, built with the same settings and calibration.
class CPyProcessor {
  public:
    CPyProcessor(const std::string& sensor, int size, int offset, int gain,
                 const py::object& calibration) {
        RenderSettings settings = SettingsFrom(sensor, size, offset, gain, true);
        std::unique_ptr<CTemporaryCalibration> stored;
        if (calibration.is_none()) {
            settings.calibration.clear();
        } else if (py::isinstance<py::str>(calibration)) {
            settings.calibration = calibration.cast<std::string>();
            std::ifstream probe(settings.calibration, std::ios::binary);
            if (!probe) {
                throw py::value_error("cannot read calibration file " + settings.calibration);
            }
        } else if (py::isinstance<py::array>(calibration)) {
            stored = std::make_unique<CTemporaryCalibration>(calibration.cast<py::array>());
            settings.calibration = stored->Path();
        } else {
            throw py::value_error("calibration must be None, a file path or a numpy array");
        }
        m_remapped = std::make_unique<CFrameRenderer>(settings);
        settings.remapped = false;
        m_unmapped = std::make_unique<CFrameRenderer>(settings);
        m_strSensor = sensor;
        m_nSize = size;
    }

    ByteArray Process(const py::buffer& frame) { return Render(*m_remapped, frame); }
    ByteArray ProcessUnmapped(const py::buffer& frame) { return Render(*m_unmapped, frame); }

    ByteArray Corrected(const py::buffer& frame) {
        py::buffer_info info;
        const std::uint8_t* pRaw = FrameBytesOf(frame, &info);
        ByteArray result({kSectors, kRings});
        m_remapped->Correct(pRaw, result.mutable_data());
        return result;
    }

    std::string Repr() const {
        return "pandry.Processor(sensor='" + m_strSensor + "', size=" + std::to_string(m_nSize) +
               ")";
    }

  private:
    ByteArray Render(CFrameRenderer& renderer, const py::buffer& frame) {
        py::buffer_info info;
        const std::uint8_t* pRaw = FrameBytesOf(frame, &info);
        ByteArray result({renderer.Height(), renderer.Width(), 3});
        std::uint8_t* pOut = result.mutable_data();
        bool rendered = false;
        {
            py::gil_scoped_release unlocked;
            rendered = renderer.RenderInto(pRaw, pOut);
        }
        if (!rendered) {
            throw py::value_error("the processor could not process this frame");
        }
        return result;
    }

    std::unique_ptr<CFrameRenderer> m_remapped;
    std::unique_ptr<CFrameRenderer> m_unmapped;
    std::string m_strSensor;
    int m_nSize = 0;
};

py::tuple ReadRecording(const std::string& path) {
    std::string error;
    std::string warning;
    const std::uint64_t frames = CReplaySource::CountWholeFrames(path, &error, &warning);
    if (frames == 0) {
        throw py::value_error(error);
    }
    py::module_ warnings = py::module_::import("warnings");
    if (!warning.empty()) {
        warnings.attr("warn")(warning);
    }
    ByteArray all({py::ssize_t(frames), py::ssize_t(kSectors), py::ssize_t(kRings)});
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(all.mutable_data()),
                 std::streamsize(frames * kFrameBytes))) {
        throw py::value_error("cannot read " + path);
    }
    py::object metadata = py::none();
    std::ifstream sidecar(SidecarPathFor(path), std::ios::binary);
    if (sidecar) {
        std::string text(std::istreambuf_iterator<char>(sidecar), {});
        RecordingMetadata parsed;
        if (ParseSidecar(text, &parsed, &error)) {
            metadata = py::module_::import("json").attr("loads")(text);
        } else {
            warnings.attr("warn")(SidecarPathFor(path) + ": " + error + "; metadata is None");
        }
    }
    return py::make_tuple(all, metadata);
}

py::array_t<std::uint16_t> RemapTableArray() {
    py::array_t<std::uint16_t> table({kRemapTableSize, kRemapTableSize});
    std::memcpy(table.mutable_data(), RemapTable(), kRemapTableEntries * sizeof(std::uint16_t));
    return table;
}

py::array_t<std::int32_t> FoveaTableArray() {
    py::array_t<std::int32_t> table({kSectors, kFoveaRings});
    std::memcpy(table.mutable_data(), FoveaTable(), kFoveaTableEntries * sizeof(std::int32_t));
    return table;
}

}  // namespace

PYBIND11_MODULE(pandry, m) {
    m.doc() =
        "Pandry's frame processing for scripts.\n\n"
        "A raw frame is 38304 bytes: 252 sectors of 152 rings, sector-major (index = sector * "
        "152 + ring). Frames may be bytes or any contiguous uint8 array of 38304 elements.";
    m.attr("SECTORS") = kSectors;
    m.attr("RINGS") = kRings;
    m.attr("FRAME_BYTES") = kFrameBytes;
    m.attr("NO_SOURCE") = kNoSource;
    m.attr("NO_FOVEA_SECTOR") = kNoFoveaSector;

    py::class_<CPyProcessor>(m, "Processor", "Turns raw frames into the pictures the viewer shows.")
        .def(py::init<const std::string&, int, int, int, const py::object&>(),
             py::arg("sensor") = "mono", py::arg("size") = kDefaultSize,
             py::arg("offset") = kDefaultOffset, py::arg("gain") = kDefaultGain,
             py::arg("calibration") = py::none(),
             "sensor: 'mono' or 'color'; size: 256 or 512; offset and gain as in the viewer's "
             "Settings; calibration: None (no dark image), the path of a dark image file, or "
             "an array of 38304 dark levels.")
        .def("process", &CPyProcessor::Process, py::arg("frame"),
             "The remapped picture, exactly as the viewer shows it: (size, size, 3) uint8, RGB, "
             "top row first.")
        .def("process_unmapped", &CPyProcessor::ProcessUnmapped, py::arg("frame"),
             "The unmapped picture as the viewer shows it: (252, 152, 3) uint8, RGB, top row "
             "first.")
        .def("corrected", &CPyProcessor::Corrected, py::arg("frame"),
             "The frame after dark subtraction, offset and gain, before the fovea fill and the "
             "remap: (252, 152) uint8, sector-major.")
        .def("__repr__", &CPyProcessor::Repr);

    m.def("read_recording", &ReadRecording, py::arg("path"),
          "Reads a recording: (frames, metadata). frames is (N, 252, 152) uint8 in the order "
          "recorded; metadata is the sidecar's content as a dict, or None without one. A file "
          "cut off mid-frame gives its whole frames and a warning.");
    m.def("remap_table", &RemapTableArray,
          "The 512 x 512 remap table: the frame index (sector * 152 + ring) each pixel shows, or "
          "NO_SOURCE outside the sensor disc. 256 x 256 pictures use the even rows and columns.");
    m.def("fovea_table", &FoveaTableArray,
          "The fovea table, (252, 42) int32: for sector s and fovea ring r, the raw sector whose "
          "sample the fovea fill gathers there, or NO_FOVEA_SECTOR.");
}
