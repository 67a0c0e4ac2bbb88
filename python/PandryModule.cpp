// The compiled part of the Python package "pandry": the viewer's processing for scripts, on
// numpy arrays (the package adds the memory-mapped recording in Python).
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "camera/ReplaySource.h"
#include "export/FrameRenderer.h"
#include "export/RecordingSettings.h"
#include "export/SampleValues.h"
#include "platform/files/BoundedRead.h"
#include "platform/files/FileIo.h"
#include "platform/files/InputFile.h"
#include "processing/CalibrationFile.h"
#include "processing/StreamCopy.h"
#include "python/CameraBinding.h"
#include "python/ModuleSettings.h"
#include "sensor/Defaults.h"
#include "sensor/FoveaTable.h"
#include "sensor/LogPolarFrame.h"
#include "sensor/RemapTable.h"
#include "sensor/SampleGeometry.h"
#include "sidecar/RecordingMetadata.h"

namespace py = pybind11;

namespace {

using ByteArray = py::array_t<std::uint8_t, py::array::c_style>;

// Frames borrowed from a bytes object or a C-contiguous uint8 array: one frame of shape
// (252, 152) or 38304 flat bytes, or a batch (N, 252, 152). Anything else is refused naming
// the shape wanted, so a transposed frame never passes for one.
struct FrameBatch {
    py::buffer_info info;
    const std::uint8_t* pFrames = nullptr;
    py::ssize_t count = 0;
    bool batch = false;
};

std::string ShapeText(const py::buffer_info& info) {
    std::string text = "(";
    for (py::ssize_t axis = 0; axis < info.ndim; ++axis) {
        text += (axis ? ", " : "") + std::to_string(info.shape[axis]);
    }
    return text + (info.ndim == 1 ? ",)" : ")");
}

FrameBatch FramesOf(const py::buffer& frames) {
    FrameBatch result;
    result.info = frames.request();
    const py::buffer_info& info = result.info;
    if (info.itemsize != 1 || (info.format != "B" && info.format != "c")) {
        throw py::value_error("a frame must hold unsigned bytes (uint8), not format '" +
                              info.format + "'");
    }
    const bool flat = info.ndim == 1 && std::size_t(info.size) == kFrameBytes;
    const bool single = info.ndim == 2 && info.shape[0] == kSectors && info.shape[1] == kRings;
    const bool batch = info.ndim == 3 && info.shape[1] == kSectors && info.shape[2] == kRings;
    if (!flat && !single && !batch) {
        throw py::value_error(
            "a frame has shape (252, 152) (sectors, rings) or is 38304 flat "
            "bytes, and a batch has shape (N, 252, 152); got shape " +
            ShapeText(info));
    }
    py::ssize_t expected = 1;
    for (py::ssize_t axis = info.ndim - 1; axis >= 0; --axis) {
        if (info.shape[axis] != 1 && info.strides[axis] != expected) {
            throw py::value_error("a frame must be contiguous (use numpy.ascontiguousarray)");
        }
        expected *= info.shape[axis];
    }
    result.pFrames = static_cast<const std::uint8_t*>(info.ptr);
    result.count = batch ? info.shape[0] : 1;
    result.batch = batch;
    return result;
}

// The result array: (N, ...) for a batch, (...) for one frame.
ByteArray ResultFor(const FrameBatch& frames, std::vector<py::ssize_t> shape) {
    if (frames.batch) {
        shape.insert(shape.begin(), frames.count);
    }
    return ByteArray(shape);
}

std::string ShapeText(const std::vector<py::ssize_t>& shape) {
    std::string text = "(";
    for (std::size_t axis = 0; axis < shape.size(); ++axis) {
        text += (axis ? ", " : "") + std::to_string(shape[axis]);
    }
    return text + (shape.size() == 1 ? ",)" : ")");
}

// The caller's array to fill instead of a new one: it must be exactly what the result would
// be (shape, uint8, C-contiguous, writeable), so no byte lands outside it.
py::array ResultInto(const FrameBatch& frames, std::vector<py::ssize_t> shape,
                     const py::object& out) {
    if (frames.batch) {
        shape.insert(shape.begin(), frames.count);
    }
    if (!py::isinstance<py::array>(out)) {
        throw py::value_error("out must be a numpy array of shape " + ShapeText(shape) +
                              " and dtype uint8");
    }
    auto array = py::reinterpret_borrow<py::array>(out);
    const std::vector<py::ssize_t> given(array.shape(), array.shape() + array.ndim());
    if (given != shape) {
        throw py::value_error("out has shape " + ShapeText(given) + "; this result needs " +
                              ShapeText(shape));
    }
    if (array.dtype().kind() != 'u' || array.itemsize() != 1) {
        throw py::value_error("out must have dtype uint8, not " +
                              py::str(array.dtype()).cast<std::string>());
    }
    if ((array.flags() & py::array::c_style) == 0) {
        throw py::value_error("out must be C-contiguous (use numpy.ascontiguousarray)");
    }
    if (!array.writeable()) {
        throw py::value_error("out is read-only");
    }
    return array;
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

// A renderer shared by the threads that call one Processor: the GIL is released while it
// works, so its own lock keeps two calls from mixing their pictures.
// Results of more bytes than this are streamed past the caches (about what one core's
// caches hold here).
constexpr std::size_t kCachedBatchBytes = std::size_t(4) << 20;

struct SharedRenderer {
    std::unique_ptr<CFrameRenderer> renderer;
    std::mutex lock;
    std::vector<std::uint8_t> scratch;  // a streamed batch's picture; guarded by lock
};

// The calibration a script gives: None (no dark image), a file path (str or os.PathLike), or
// an array of dark levels (then stored in *stored for as long as the processor is built).
void UseCalibration(const py::object& calibration, RenderSettings* settings,
                    std::unique_ptr<CTemporaryCalibration>* stored) {
    settings->calibrationSha256.clear();
    if (calibration.is_none()) {
        settings->calibration.clear();
    } else if (py::isinstance<py::str>(calibration) ||
               py::isinstance(calibration, py::module_::import("os").attr("PathLike"))) {
        settings->calibration = calibration.cast<std::filesystem::path>().string();
        CheckCalibrationFile(settings->calibration);
    } else if (py::isinstance<py::array>(calibration)) {
        *stored = std::make_unique<CTemporaryCalibration>(calibration.cast<py::array>());
        settings->calibration = (*stored)->Path();
    } else {
        throw py::value_error("calibration must be None, a file path or a numpy array");
    }
}

// The flat image a script gives: None (none) or a file path (str or os.PathLike).
void UseFlat(const py::object& flat, RenderSettings* settings) {
    const bool isPath = py::isinstance<py::str>(flat) ||
                        py::isinstance(flat, py::module_::import("os").attr("PathLike"));
    if (!flat.is_none() && !isPath) {
        throw py::value_error("flat must be None or the path of a flat image");
    }
    const std::string path = flat.is_none() ? "none" : flat.cast<std::filesystem::path>().string();
    if (std::string error; !UseFlatImage(path, settings, &error)) {
        throw py::value_error(error);
    }
}

// Two renderers, one per view, built with the same settings and calibration.
class CPyProcessor {
  public:
    CPyProcessor(const std::string& sensor, int size, int offset, int gain,
                 const py::object& calibration, const py::object& flat)
        : m_calibration(calibration) {
        RenderSettings settings = SettingsFrom(sensor, size, offset, gain, true);
        std::unique_ptr<CTemporaryCalibration> stored;
        UseCalibration(calibration, &settings, &stored);
        UseFlat(flat, &settings);
        m_strSensor = sensor;
        Build(settings);
    }
    explicit CPyProcessor(const RenderSettings& settings)
        : m_strSensor(settings.color ? "color" : "mono"),
          m_calibration(settings.calibration.empty() ? py::object(py::none())
                                                     : py::object(py::str(settings.calibration))) {
        Build(settings);
    }
    // A processor with the settings a recording was made with (its sidecar's), each
    // argument given overriding its own; without a sidecar, the defaults.
    static std::unique_ptr<CPyProcessor> ForRecording(
        const std::filesystem::path& recording, const py::object& sensor, const py::object& size,
        const py::object& offset, const py::object& gain, const py::object& calibration,
        bool ignoreSidecar, const py::object& flat) {
        SettingsOverrides overrides;
        overrides.ignoreSidecar = ignoreSidecar;
        if (!sensor.is_none()) {
            overrides.color = SettingsFrom(sensor.cast<std::string>(), 256, 0, 0, true).color;
        }
        if (!size.is_none()) {
            overrides.size = SettingsFrom("mono", size.cast<int>(), 0, 0, true).size;
        }
        if (!offset.is_none()) {
            overrides.offset = SettingsFrom("mono", 256, offset.cast<int>(), 0, true).offset;
        }
        if (!gain.is_none()) {
            overrides.gain = SettingsFrom("mono", 256, 0, gain.cast<int>(), true).gain;
        }
        const std::string path = recording.string();
        const bool calibrationGiven = !calibration.is(py::ellipsis());
        if (calibrationGiven) {
            overrides.calibration = "none";  // replaced below by what was given
        }
        const bool flatGiven = !flat.is(py::ellipsis());
        if (flatGiven) {
            overrides.flat = "none";  // replaced below by what was given
        }
        RenderSettings settings;
        std::string warning;
        std::string error;
        if (!SettingsForRecording(path, overrides, &settings, nullptr, &warning, &error)) {
            // The way out in this module's words.
            if (const auto at = error.find("--ignore-sidecar"); at != std::string::npos) {
                error.replace(at, std::strlen("--ignore-sidecar"), "ignore_sidecar=True");
            }
            throw py::value_error(error);
        }
        if (!warning.empty()) {
            py::module_::import("warnings").attr("warn")(warning);
        }
        std::unique_ptr<CTemporaryCalibration> stored;
        if (calibrationGiven) {
            UseCalibration(calibration, &settings, &stored);
        }
        if (flatGiven) {
            UseFlat(flat, &settings);
        }
        return std::make_unique<CPyProcessor>(settings);
    }

    py::array Process(const py::buffer& frames, const std::string& values, const py::object& out,
                      bool grey) {
        return Render(m_remapped, frames, values, out, grey);
    }
    py::array ProcessUnmapped(const py::buffer& frames, const std::string& values,
                              const py::object& out, bool grey) {
        return Render(m_unmapped, frames, values, out, grey);
    }

    ByteArray Corrected(const py::buffer& frames) {
        const FrameBatch batch = FramesOf(frames);
        ByteArray result = ResultFor(batch, {kSectors, kRings});
        std::uint8_t* pOut = result.mutable_data();
        bool done = true;
        {
            py::gil_scoped_release unlocked;  // before the lock: a holder may wait for the GIL
            std::lock_guard<std::mutex> hold(m_remapped.lock);
            for (py::ssize_t i = 0; done && i < batch.count; ++i) {
                done = m_remapped.renderer->Correct(batch.pFrames + i * kFrameBytes,
                                                    pOut + i * kFrameBytes);
            }
        }
        if (!done) {
            throw py::value_error("the processor could not correct this frame");
        }
        return result;
    }

    const std::string& Sensor() const { return m_strSensor; }
    int Size() const { return m_settings.size; }
    int Offset() const { return m_settings.offset; }
    int Gain() const { return m_settings.gain; }
    const py::object& Calibration() const { return m_calibration; }
    py::object Flat() const {
        return m_settings.flat.empty() ? py::object(py::none())
                                       : py::object(py::str(m_settings.flat));
    }

    std::string Repr() const {
        return "pandry.Processor(sensor='" + m_strSensor +
               "', size=" + std::to_string(m_settings.size) +
               ", offset=" + std::to_string(m_settings.offset) +
               ", gain=" + std::to_string(m_settings.gain) + ")";
    }

    std::string Settings() const { return m_settings.Describe(); }

  private:
    void Build(RenderSettings settings) {
        m_settings = settings;
        settings.remapped = true;
        m_remapped.renderer = std::make_unique<CFrameRenderer>(settings);
        settings.remapped = false;
        m_unmapped.renderer = std::make_unique<CFrameRenderer>(settings);
    }

    py::array Render(SharedRenderer& shared, const py::buffer& frames,
                     const std::string& valuesName, const py::object& out, bool grey) {
        CFrameRenderer& renderer = *shared.renderer;
        SampleValues values = SampleValues::kShown;
        std::string error;
        if (!ParseSampleValues(valuesName, &values, &error)) {
            throw py::value_error(error);
        }
        if (values == SampleValues::kFlat && !m_settings.flatFactors) {
            throw py::value_error("values='flat' needs a flat image: give flat=PATH");
        }
        if (grey && (values != SampleValues::kShown || m_strSensor != "mono")) {
            throw py::value_error(
                "grey=True gives the shown pictures of a black-and-white "
                "sensor; this is values='" +
                valuesName + "' of a '" + m_strSensor + "' sensor");
        }
        const FrameBatch batch = FramesOf(frames);
        const bool shown = values == SampleValues::kShown && !grey;
        std::vector<py::ssize_t> shape = {renderer.Height(), renderer.Width()};
        if (shown) {
            shape.push_back(3);
        }
        py::array result = out.is_none() ? ResultFor(batch, shape) : ResultInto(batch, shape, out);
        const std::size_t outBytes =
            std::size_t(renderer.Width()) * renderer.Height() * (shown ? 3 : 1);
        auto* pOut = static_cast<std::uint8_t*>(result.mutable_data());
        bool rendered = true;
        {
            py::gil_scoped_release unlocked;  // before the lock: a holder may wait for the GIL
            std::lock_guard<std::mutex> hold(shared.lock);
            // A batch larger than the caches is made a picture at a time where the cache
            // holds it, then streamed past the caches into place: written straight there, each
            // line of the result would first be read in from memory.
            const bool streamed = std::size_t(batch.count) * outBytes > kCachedBatchBytes;
            // Pictures the renderer streams itself go straight in; others through a scratch.
            const bool direct = shown && !grey && renderer.StreamsPictures();
            const bool copied = streamed && !direct;
            if (copied) {
                shared.scratch.resize(outBytes);
            }
            for (py::ssize_t i = 0; rendered && i < batch.count; ++i) {
                const std::uint8_t* pRaw = batch.pFrames + i * kFrameBytes;
                std::uint8_t* pPicture = copied ? shared.scratch.data() : pOut + i * outBytes;
                rendered = grey    ? renderer.RenderGreyInto(pRaw, pPicture)
                           : shown ? renderer.RenderInto(pRaw, pPicture, streamed)
                                   : renderer.SampleValuesInto(pRaw, values, pPicture);
                if (copied) {
                    StreamCopy(pOut + i * outBytes, pPicture, outBytes);
                }
            }
        }
        if (!rendered) {
            throw py::value_error("the processor could not process this frame");
        }
        return result;
    }

    SharedRenderer m_remapped;
    SharedRenderer m_unmapped;
    RenderSettings m_settings;
    std::string m_strSensor;
    py::object m_calibration;
};

// The sidecar of the recording at path as a dict, None without one; one that is there but
// cannot be read (not a regular file, too large, not JSON, not the format) either raises
// ValueError naming it and the reason or, with damageWarns, warns and gives None.
py::object SidecarOf(const std::string& path, bool damageWarns) {
    const std::string sidecarPath = SidecarPathFor(path);
    struct stat info {};
    if (::lstat(sidecarPath.c_str(), &info) != 0) {
        return py::none();
    }
    std::string text;
    std::string error;
    RecordingMetadata parsed;
    struct stat recording {};
    const std::uint64_t recordingBytes =
        ::stat(path.c_str(), &recording) == 0 ? std::uint64_t(recording.st_size) : 0;
    if (const FileResult read =
            ReadSmallRegularFile(sidecarPath, SidecarLimitFor(recordingBytes), &text);
        !read) {
        throw py::value_error(read.Error());
    }
    if (ParseSidecar(text, &parsed, &error)) {
        return py::module_::import("json").attr("loads")(text);
    }
    if (!damageWarns) {
        throw py::value_error(sidecarPath + ": " + error +
                              " (ignore_sidecar=True reads the frames without it)");
    }
    py::module_::import("warnings").attr("warn")(sidecarPath + ": " + error + "; metadata is None");
    return py::none();
}

// Paths come as str or any os.PathLike (pathlib.Path).
py::tuple ReadRecording(const std::filesystem::path& file) {
    const std::string path = file.string();
    std::string error;
    std::string warning;
    std::uint64_t frames = 0;
    if (const FileResult counted = CReplaySource::CountWholeFrames(path, &frames, &warning);
        !counted) {
        throw py::value_error(counted.Error());
    }
    if (!warning.empty()) {
        py::module_::import("warnings").attr("warn")(warning);
    }
    ByteArray all({py::ssize_t(frames), py::ssize_t(kSectors), py::ssize_t(kRings)});
    int fd = -1;
    if (const FileResult opened = OpenRegularInput(path, &fd); !opened) {
        error = opened.Error();
    }
    const bool whole = fd >= 0 && ReadFullyAt(fd, all.mutable_data(), frames * kFrameBytes, 0);
    if (fd >= 0) {
        ::close(fd);
    }
    if (!whole) {
        throw py::value_error(error.empty() ? "cannot read " + path : error);
    }
    return py::make_tuple(all, SidecarOf(path, true));
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

template <typename T, std::size_t N>
py::array_t<T> SampleArray(const std::array<T, N>& values) {
    py::array_t<T> array({kSectors, kRings});
    std::memcpy(array.mutable_data(), values.data(), N * sizeof(T));
    return array;
}

py::object GeometryArrays() {
    const SampleGeometry& geometry = SensorSampleGeometry();
    return py::module_::import("types").attr("SimpleNamespace")(
        py::arg("radius") = SampleArray(geometry.radius),
        py::arg("angle") = SampleArray(geometry.angle),
        py::arg("area") = SampleArray(geometry.area),
        py::arg("physical") = SampleArray(geometry.physical));
}

}  // namespace

PYBIND11_MODULE(_pandry, m) {
    m.doc() = "The compiled part of the package pandry: processing and tables.";
    m.attr("__version__") = PANDRY_VERSION;
    m.attr("SECTORS") = kSectors;
    m.attr("RINGS") = kRings;
    m.attr("FRAME_BYTES") = kFrameBytes;
    m.attr("NO_SOURCE") = kNoSource;
    m.attr("NO_FOVEA_SECTOR") = kNoFoveaSector;
    BindCamera(m);

    py::class_<CPyProcessor>(m, "Processor", "Turns raw frames into the pictures the viewer shows.")
        .def(py::init<const std::string&, int, int, int, const py::object&, const py::object&>(),
             py::arg("sensor") = "mono", py::arg("size") = kDefaultSize,
             py::arg("offset") = kDefaultOffset, py::arg("gain") = kDefaultGain,
             py::arg("calibration") = py::none(), py::arg("flat") = py::none(),
             "sensor: 'mono' or 'color'; size: 256 or 512; offset and gain as in the viewer's "
             "Settings; calibration: None (no dark image), the path of a dark image file, or "
             "an array of 38304 dark levels; flat: None or the path of a flat image "
             "(pandry-cli calibrate --flat), each sample then (raw - dark) x mean(flat) / flat "
             "before offset and gain.")
        .def("process", &CPyProcessor::Process, py::arg("frame"), py::arg("values") = "shown",
             py::kw_only(), py::arg("out") = py::none(), py::arg("grey") = false,
             "The remapped picture of a frame (252, 152) or of each frame of a batch "
             "(N, 252, 152). values='shown': exactly as the viewer shows it, (size, size, 3) "
             "uint8 RGB, top row first; 'corrected' or 'raw': each pixel the corrected level or "
             "the sensor's byte of the sample it shows (through the fovea fill and the remap "
             "table, 0 outside the disc), (size, size) uint8; 'flat' likewise the flat-corrected "
             "level "
             "(raw - dark) x mean(flat) / flat, 0..255, without offset or gain (a flat image is "
             "needed). out: a C-contiguous uint8 array "
             "of exactly the result's shape to fill and return instead of a new one "
             "(ValueError otherwise). grey=True: a black-and-white sensor's shown pictures as "
             "one level a pixel, (size, size), the level all three channels carry. Runs "
             "without the GIL.")
        .def("process_unmapped", &CPyProcessor::ProcessUnmapped, py::arg("frame"),
             py::arg("values") = "shown", py::kw_only(), py::arg("out") = py::none(),
             py::arg("grey") = false,
             "The unmapped picture: (252, 152, 3) uint8 RGB as the viewer shows it, or with "
             "values 'corrected' or 'raw' the sample grid itself, (252, 152) uint8; (N, ...) for "
             "a batch. out and grey as for process.")
        .def("corrected", &CPyProcessor::Corrected, py::arg("frame"),
             "The frame after dark subtraction, the flat image (when given), offset and gain, "
             "before the fovea fill and the remap: (252, 152) uint8, sector-major; (N, 252, 152) "
             "for a batch.")
        .def_property_readonly("sensor", &CPyProcessor::Sensor)
        .def_property_readonly("size", &CPyProcessor::Size)
        .def_property_readonly("offset", &CPyProcessor::Offset)
        .def_property_readonly("gain", &CPyProcessor::Gain)
        .def_property_readonly("calibration", &CPyProcessor::Calibration,
                               "As given: None, a file path or the array of dark levels.")
        .def_property_readonly("flat", &CPyProcessor::Flat, "The flat image's path, or None.")
        .def_static("for_recording", &CPyProcessor::ForRecording, py::arg("path"),
                    py::arg("sensor") = py::none(), py::arg("size") = py::none(),
                    py::arg("offset") = py::none(), py::arg("gain") = py::none(),
                    py::arg("calibration") = py::ellipsis(), py::arg("ignore_sidecar") = false,
                    py::arg("flat") = py::ellipsis(),
                    "A processor with the settings the recording at path was made with (its "
                    "sidecar's sensor, size, offset, gain and calibration: the stored copy, or "
                    "the recorded file while its SHA-256 matches, else ValueError). Each "
                    "argument given overrides its own setting; calibration=None applies none, "
                    "and so does flat=None for the recorded flat image. "
                    "Without a sidecar, the defaults. A sidecar that cannot be read raises "
                    "ValueError unless ignore_sidecar=True, which uses the defaults instead.")
        .def_property_readonly("settings", &CPyProcessor::Settings,
                               "The settings applied, as exported pictures' text gives them.")
        .def("__repr__", &CPyProcessor::Repr);

    m.def(
        "read_sidecar",
        [](const std::filesystem::path& recording) { return SidecarOf(recording.string(), false); },
        py::arg("recording"),
        "The sidecar of the recording at this path as a dict (None without one), read and "
        "checked as pandry-cli reads it; ValueError naming the file and the reason when it is "
        "there but cannot be read.");
    m.def("read_recording", &ReadRecording, py::arg("path"),
          "Reads a recording: (frames, metadata). frames is (N, 252, 152) uint8 in the order "
          "recorded; metadata is the sidecar's content as a dict, or None without one. A file "
          "cut off mid-frame gives its whole frames and a warning.");
    m.def("remap_table", &RemapTableArray,
          "The 512 x 512 remap table: the frame index (sector * 152 + ring) each pixel shows, or "
          "NO_SOURCE outside the sensor disc. 256 x 256 pictures use the even rows and columns.");
    m.def("geometry", &GeometryArrays,
          "Where each sample sits on the sensor, as (252, 152) arrays in the frame's layout "
          "(sector, ring): radius (float32, pixels of the 512 x 512 picture from its centre), "
          "angle (float32, degrees, 0 toward the right, counter-clockwise on screen), area "
          "(uint32, pixels of that picture showing the sample) and physical (bool, false for "
          "the fovea's unused positions).");
    m.def("fovea_table", &FoveaTableArray,
          "The fovea table, (252, 42) int32: for sector s and fovea ring r, the raw sector whose "
          "sample the fovea fill gathers there, or NO_FOVEA_SECTOR.");
}
