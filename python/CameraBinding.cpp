#include "python/CameraBinding.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "camera/CameraSource.h"
#include "export/RecordingSettings.h"
#include "python/ModuleSettings.h"
#include "scripting/ScriptCamera.h"
#include "sensor/LogPolarFrame.h"

namespace py = pybind11;

namespace {

using Clock = std::chrono::steady_clock;
using ByteArray = py::array_t<std::uint8_t, py::array::c_style>;

// How often a wait looks up from the camera to let Ctrl-C through.
constexpr auto kSignalSlice = std::chrono::milliseconds(50);
constexpr std::uint64_t kMostRecordedFrames = 1000000;  // as pandry-cli record takes
constexpr double kLongestRecording = 31.0 * 24 * 3600;

[[noreturn]] void RaiseTimeout(const std::string& message) {
    PyErr_SetString(PyExc_TimeoutError, message.c_str());
    throw py::error_already_set();
}

void RaiseOnFailure(const FileResult& result) {
    if (!result) {
        PyErr_SetString(PyExc_OSError, result.Error().c_str());
        throw py::error_already_set();
    }
}

class CPyCamera {
  public:
    CPyCamera(const std::string& source, const py::object& sensor, const py::object& size,
              const py::object& offset, const py::object& gain, const py::object& calibration,
              double timeout) {
        if (!(timeout > 0) || !std::isfinite(timeout)) {
            throw py::value_error("timeout must be a positive number of seconds");
        }
        m_timeout = std::chrono::milliseconds(std::int64_t(std::ceil(timeout * 1000)));
        CameraSourceChoice choice;
        std::string error;
        if (!ParseCameraSource(source, &choice, &error)) {
            throw py::value_error(error);
        }
        // The defaults pandry-cli record starts from: the sensor the source implies, and
        // calimage.data when the current folder holds one.
        SettingsOverrides overrides;
        overrides.color = ImpliedColor(choice).value_or(false);
        if (!sensor.is_none()) {
            overrides.color = SettingsFrom(sensor.cast<std::string>(), 256, 0, 0, true).color;
        }
        if (!size.is_none()) {
            overrides.size = SettingsFrom("mono", size.cast<int>(), 0, 0, true).size;
        }
        if (!offset.is_none()) {
            CheckOffset(offset.cast<int>());
            overrides.offset = offset.cast<int>();
        }
        if (!gain.is_none()) {
            CheckGain(gain.cast<int>());
            overrides.gain = gain.cast<int>();
        }
        if (calibration.is_none()) {
            overrides.calibration = "none";
        } else if (!calibration.is(py::ellipsis())) {
            overrides.calibration = calibration.cast<std::filesystem::path>().string();
            CheckCalibrationFile(*overrides.calibration);
        }
        RenderSettings settings;
        if (!SettingsFromOverrides(overrides, &settings, &error)) {
            throw py::value_error(error);
        }
        {
            py::gil_scoped_release unlocked;
            m_pCamera = CScriptCamera::Open(source, settings, &error);
        }
        if (!m_pCamera) {
            throw py::value_error(error);
        }
    }

    // The next frame into a new (252, 152) array: (array, index, time_us, offset, gain, gaze).
    py::tuple NextFrame() {
        ByteArray frame({py::ssize_t(kSectors), py::ssize_t(kRings)});
        const ScriptFrame info = WaitInto(frame.mutable_data());
        py::object gaze = py::none();
        if (info.gaze) {
            gaze = py::make_tuple(info.gaze->x, info.gaze->y, info.gaze->field);
        }
        return py::make_tuple(frame, info.acquired.index, info.acquired.timeUs, info.offset,
                              info.gain, gaze);
    }

    void Close() {
        FileResult closed;
        {
            py::gil_scoped_release unlocked;
            closed = m_pCamera->Close();
        }
        RaiseOnFailure(closed);
    }

    py::tuple AutoLevels() {
        std::vector<std::uint8_t> frame(kFrameBytes);
        WaitInto(frame.data());
        const LevelsChoice choice = m_pCamera->AutoLevels(frame.data());
        return py::make_tuple(choice.offset, choice.gain, !choice.bFlat);
    }

    py::array_t<std::int32_t> Calibrate(int frames, const py::object& path) {
        if (frames < 1 || frames > 1000) {
            throw py::value_error("calibrate averages 1 to 1000 frames, not " +
                                  std::to_string(frames));
        }
        std::vector<std::vector<std::uint8_t>> taken(static_cast<std::size_t>(frames),
                                                     std::vector<std::uint8_t>(kFrameBytes));
        std::vector<const std::uint8_t*> pointers;
        for (auto& frame : taken) {
            WaitInto(frame.data());
            pointers.push_back(frame.data());
        }
        const std::string file =
            path.is_none() ? std::string() : path.cast<std::filesystem::path>().string();
        std::vector<std::int32_t> dark;
        RaiseOnFailure(m_pCamera->Calibrate(pointers, file, &dark));
        py::array_t<std::int32_t> result({py::ssize_t(kSectors), py::ssize_t(kRings)});
        std::copy(dark.begin(), dark.end(), result.mutable_data());
        return result;
    }

    void UseCalibration(const py::object& path) {
        std::string file;
        if (!path.is_none()) {
            file = path.cast<std::filesystem::path>().string();
            CheckCalibrationFile(file);
        }
        RaiseOnFailure(m_pCamera->UseCalibrationFile(file));
    }

    py::object Calibration() const {
        const std::string path = m_pCamera->Settings().calibration;
        return path.empty() ? py::object(py::none()) : py::object(py::str(path));
    }

    py::array_t<std::int32_t> DarkImage() const {
        const std::vector<std::int32_t> dark = m_pCamera->DarkImage();
        py::array_t<std::int32_t> result({py::ssize_t(kSectors), py::ssize_t(kRings)});
        std::copy(dark.begin(), dark.end(), result.mutable_data());
        return result;
    }

    int Offset() const { return m_pCamera->Settings().offset; }
    void SetOffset(int offset) {
        CheckOffset(offset);
        m_pCamera->SetOffset(offset);
    }
    int Gain() const { return m_pCamera->Settings().gain; }
    void SetGain(int gain) {
        CheckGain(gain);
        m_pCamera->SetGain(gain);
    }
    std::string Sensor() const { return m_pCamera->Settings().color ? "color" : "mono"; }
    int Size() const { return m_pCamera->Settings().size; }

    py::tuple GetGaze() const {
        const Gaze gaze = GazeOrRaise();
        return py::make_tuple(gaze.x, gaze.y);
    }
    void SetGaze(const std::pair<double, double>& centre) {
        Gaze gaze = GazeOrRaise();
        gaze.x = centre.first;
        gaze.y = centre.second;
        m_pCamera->SetGaze(gaze.Clamped());
    }
    double GetField() const { return GazeOrRaise().field; }
    void SetField(double field) {
        if (!(field >= Gaze::kLeastField && field <= Gaze::kMostField)) {
            throw py::value_error("field must be from " + std::to_string(Gaze::kLeastField) +
                                  " to " + std::to_string(Gaze::kMostField));
        }
        Gaze gaze = GazeOrRaise();
        gaze.field = field;
        m_pCamera->SetGaze(gaze);
    }

    py::tuple PictureSize() const {
        GazeOrRaise();
        int width = 0;
        int height = 0;
        m_pCamera->PictureSize(&width, &height);
        return py::make_tuple(width, height);
    }

    void StartRecording(const std::filesystem::path& path, const py::object& frames,
                        const py::object& seconds, const py::object& every, int average) {
        if (frames.is_none() && seconds.is_none()) {
            throw py::value_error("record needs frames= or seconds= (or both)");
        }
        RecordingPlan plan;
        plan.frames = kMostRecordedFrames;
        if (!frames.is_none()) {
            const long count = frames.cast<long>();
            if (count < 1 || std::uint64_t(count) > kMostRecordedFrames) {
                throw py::value_error("frames must be from 1 to 1000000");
            }
            plan.frames = std::uint64_t(count);
        }
        if (!seconds.is_none()) {
            plan.seconds = InRange("seconds", seconds.cast<double>(), 0.001, kLongestRecording);
        }
        if (!every.is_none()) {
            plan.every = InRange("every", every.cast<double>(), 0.001, kLongestInterval);
        }
        if (average < 1 || unsigned(average) > kMostAveragedFrames) {
            throw py::value_error("average must be from 1 to " +
                                  std::to_string(kMostAveragedFrames));
        }
        plan.average = unsigned(average);
        FileResult started;
        {
            py::gil_scoped_release unlocked;
            started = m_pCamera->StartRecording(path.string(), plan);
        }
        RaiseOnFailure(started);
    }

    // Whether the recording's plan is done (or it can go no further) within timeout seconds
    // (None: however long it takes).
    bool WaitRecording(const py::object& timeout) {
        const auto until = timeout.is_none()
                               ? Clock::time_point::max()
                               : Clock::now() + std::chrono::microseconds(std::int64_t(
                                                    std::max(0.0, timeout.cast<double>()) * 1e6));
        for (;;) {
            const auto slice = std::min(until, Clock::now() + kSignalSlice);
            bool done = false;
            {
                py::gil_scoped_release unlocked;
                done = m_pCamera->WaitRecordingDone(slice);
            }
            if (done || Clock::now() >= until) {
                return done;
            }
            if (PyErr_CheckSignals() != 0) {
                throw py::error_already_set();
            }
        }
    }

    void FinishRecording() {
        FileResult finished;
        {
            py::gil_scoped_release unlocked;
            finished = m_pCamera->FinishRecording();
        }
        RaiseOnFailure(finished);
    }

    std::uint64_t RecordingStored() const { return m_pCamera->RecordingStored(); }
    bool IsRecording() const { return m_pCamera->IsRecording(); }
    std::uint64_t Missed() const { return m_pCamera->Missed(); }
    std::uint64_t FramesRead() const { return m_pCamera->FramesRead(); }
    bool IsOpen() const { return m_pCamera->IsOpen(); }
    bool HasGaze() const { return m_pCamera->HasGaze(); }
    const std::string& Source() const { return m_pCamera->Source(); }
    double Timeout() const { return double(m_timeout.count()) / 1000; }

  private:
    static double InRange(const char* name, double value, double least, double most) {
        if (!(value >= least && value <= most)) {
            throw py::value_error(std::string(name) + " must be from " + std::to_string(least) +
                                  " to " + std::to_string(most) + " seconds");
        }
        return value;
    }

    Gaze GazeOrRaise() const {
        if (!m_pCamera->HasGaze()) {
            throw py::attribute_error("source '" + m_pCamera->Source() +
                                      "' has no gaze: only image:, video:, webcam and gst: do");
        }
        return m_pCamera->GetGaze();
    }

    // Waits for the next frame without the GIL, in slices so Ctrl-C comes through; raises
    // TimeoutError after the camera's timeout, RuntimeError once the run is over.
    ScriptFrame WaitInto(std::uint8_t* pFrame) {
        const auto deadline = Clock::now() + m_timeout;
        ScriptFrame info;
        for (;;) {
            const auto slice = std::min(deadline, Clock::now() + kSignalSlice);
            CScriptCamera::Wait wait;
            {
                py::gil_scoped_release unlocked;
                wait = m_pCamera->NextFrame(slice, pFrame, &info);
            }
            if (wait == CScriptCamera::Wait::kFrame) {
                return info;
            }
            if (wait == CScriptCamera::Wait::kEnded) {
                throw std::runtime_error(m_pCamera->WaitFailure(wait, m_timeout));
            }
            if (Clock::now() >= deadline) {
                RaiseTimeout(m_pCamera->WaitFailure(wait, m_timeout));
            }
            if (PyErr_CheckSignals() != 0) {
                throw py::error_already_set();
            }
        }
    }

    std::unique_ptr<CScriptCamera> m_pCamera;
    std::chrono::milliseconds m_timeout;
};

}  // namespace

void BindCamera(py::module_& m) {
    py::class_<CPyCamera>(m, "CameraCore",
                          "The compiled half of pandry.Camera: use pandry.Camera instead.")
        .def(py::init<const std::string&, const py::object&, const py::object&, const py::object&,
                      const py::object&, const py::object&, double>(),
             py::arg("source"), py::arg("sensor"), py::arg("size"), py::arg("offset"),
             py::arg("gain"), py::arg("calibration"), py::arg("timeout"))
        .def("next_frame", &CPyCamera::NextFrame)
        .def("close", &CPyCamera::Close)
        .def("auto_levels", &CPyCamera::AutoLevels)
        .def("calibrate", &CPyCamera::Calibrate, py::arg("frames"), py::arg("path"))
        .def("use_calibration", &CPyCamera::UseCalibration, py::arg("path"))
        .def("dark_image", &CPyCamera::DarkImage)
        .def("start_recording", &CPyCamera::StartRecording, py::arg("path"), py::arg("frames"),
             py::arg("seconds"), py::arg("every"), py::arg("average"))
        .def("wait_recording", &CPyCamera::WaitRecording, py::arg("timeout"))
        .def("finish_recording", &CPyCamera::FinishRecording)
        .def_property_readonly("recording_stored", &CPyCamera::RecordingStored)
        .def_property_readonly("is_recording", &CPyCamera::IsRecording)
        .def_property_readonly("missed", &CPyCamera::Missed)
        .def_property_readonly("frames_read", &CPyCamera::FramesRead)
        .def_property_readonly("is_open", &CPyCamera::IsOpen)
        .def_property_readonly("has_gaze", &CPyCamera::HasGaze)
        .def_property_readonly("source", &CPyCamera::Source)
        .def_property_readonly("timeout", &CPyCamera::Timeout)
        .def_property_readonly("sensor", &CPyCamera::Sensor)
        .def_property_readonly("size", &CPyCamera::Size)
        .def_property_readonly("calibration", &CPyCamera::Calibration)
        .def_property("offset", &CPyCamera::Offset, &CPyCamera::SetOffset)
        .def_property("gain", &CPyCamera::Gain, &CPyCamera::SetGain)
        .def_property("gaze", &CPyCamera::GetGaze, &CPyCamera::SetGaze)
        .def_property("field", &CPyCamera::GetField, &CPyCamera::SetField)
        .def_property_readonly("picture_size", &CPyCamera::PictureSize);
}
