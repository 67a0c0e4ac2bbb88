#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

// Whether a written sidecar fits docs/recording-sidecar.schema.json, checked by Debian's
// python3-jsonschema (tests/sidecar/check_sidecar.py prints what does not fit).
inline ::testing::AssertionResult FitsTheSidecarSchema(const std::string& sidecarPath) {
    const std::string command = std::string(PANDRY_SIDECAR_CHECK) + " '" + sidecarPath + "'";
    if (std::system(command.c_str()) != 0) {
        return ::testing::AssertionFailure() << sidecarPath << " does not fit the schema";
    }
    return ::testing::AssertionSuccess();
}
