#pragma once

#include <cstdint>

// Channel codes of the ChannelMap: which histogram row a frame sample is counted in.
enum ChannelCode : std::int32_t {
    kBlueChannel = 0,       // byte 0 of a ColorFrame pixel
    kRedChannel = 1,        // byte 2
    kGreenChannel = 2,      // byte 1
    kUncountedChannel = 3,  // fovea position outside its ring's gathered pixels
};

// The code of sample (sector, ring) by the colour mosaic and the fovea table.
ChannelCode ChannelCodeOf(int sector, int ring);
