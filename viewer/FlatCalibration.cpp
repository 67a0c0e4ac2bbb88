#include "viewer/FlatCalibration.h"

#include <utility>

void CFlatCalibration::Begin(std::string path) {
    std::lock_guard lock(m_mutex);
    m_path = std::move(path);
    m_sums = CFlatSums();
    m_bBusy = true;
}

std::string CFlatCalibration::Take(const std::uint8_t* pRaw, const std::int32_t* pDark) {
    std::string path;
    FlatImage flat;
    {
        std::lock_guard lock(m_mutex);
        if (m_path.empty() || pRaw == nullptr) {
            return {};
        }
        m_sums.Add(pRaw);
        if (m_sums.Frames() < kFrames) {
            return {};
        }
        flat = m_sums.Flat(pDark);
        path.swap(m_path);
    }
    const FileResult stored = StoreFlatFile(path, flat);
    m_bBusy = false;
    return stored ? DescribeFlat(flat) + ", in " + path : stored.Error();
}
