#pragma once

#include <pybind11/pybind11.h>

// The compiled half of pandry.Camera (_pandry.CameraCore); pandry/_camera.py makes the rest.
void BindCamera(pybind11::module_& module);
