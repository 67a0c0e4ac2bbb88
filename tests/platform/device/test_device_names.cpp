#include <gtest/gtest.h>

#include "platform/device/DeviceFile.h"
#include "platform/device/MemoryDevice.h"

namespace {

class DeviceNames : public ::testing::Test {
  protected:
    void SetUp() override {
        m_pResolver = std::make_shared<CMemoryDeviceResolver>();
        for (int index = 1; index <= 12; ++index) {
            m_pResolver->SetDevice(index, {});
        }
        m_pPrevious = SetDeviceResolver(m_pResolver);
    }
    void TearDown() override { SetDeviceResolver(m_pPrevious); }

    std::shared_ptr<CMemoryDeviceResolver> m_pResolver;
    std::shared_ptr<IDeviceResolver> m_pPrevious;
};

struct NameCase {
    const char* name;
    int device;  // 0: the name must not resolve at all
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << ::testing::PrintToString(c.name);
}

class DeviceNameCases : public DeviceNames, public ::testing::WithParamInterface<NameCase> {};

// Catches a parser that accepts near-miss names (and opens device 1 for them) or
// misreads the number.
TEST_P(DeviceNameCases, ResolvesOnlyWellFormedNames) {
    const NameCase& c = GetParam();
    DeviceHandle handle = CreateDevice(c.name);
    if (c.device == 0) {
        EXPECT_EQ(handle, kInvalidDeviceHandle);
        EXPECT_EQ(m_pResolver->TotalOpenCount(), 0);
    } else {
        ASSERT_NE(handle, kInvalidDeviceHandle);
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(m_pResolver->OpenCount(c.device), 1);
        EXPECT_TRUE(CloseDevice(handle));
    }
}

INSTANTIATE_TEST_SUITE_P(
    All, DeviceNameCases,
    ::testing::Values(NameCase{"\\\\.\\LPTSIMPLE1", 1}, NameCase{"\\\\.\\LPTSIMPLE5", 5},
                      NameCase{"\\\\.\\LPTSIMPLE12", 12}, NameCase{"\\\\.\\LPTSIMPLE", 0},
                      NameCase{"\\\\.\\LPTSIMPLE0", 0}, NameCase{"\\\\.\\LPTSIMPLE01", 0},
                      NameCase{"\\\\.\\LPTSIMPLE-1", 0}, NameCase{"\\\\.\\LPTSIMPLE+1", 0},
                      NameCase{"\\\\.\\LPTSIMPLE1x", 0}, NameCase{"\\\\.\\LPTSIMPLE1 ", 0},
                      NameCase{"\\\\.\\lptsimple1", 0}, NameCase{"LPTSIMPLE1", 0},
                      NameCase{"/dev/lptsimple1", 0}, NameCase{"", 0},
                      NameCase{"\\\\.\\LPTSIMPLE999", 0}));

// Catches a null name being dereferenced.
TEST_F(DeviceNames, NullNameFails) {
    EXPECT_EQ(CreateDevice(nullptr), kInvalidDeviceHandle);
}

// Catches a device the resolver cannot open being returned as a usable handle.
TEST_F(DeviceNames, UnscriptedDeviceFailsToOpen) {
    EXPECT_EQ(CreateDevice("\\\\.\\LPTSIMPLE13"), kInvalidDeviceHandle);
    EXPECT_EQ(m_pResolver->OpenCount(13), 1);
}

// Catches calls on null or invalid handles touching memory or reporting success.
TEST_F(DeviceNames, CallsOnHandlesThatAreNotOpenFail) {
    std::uint8_t buffer[4] = {};
    for (DeviceHandle handle : {DeviceHandle{nullptr}, kInvalidDeviceHandle}) {
        std::uint32_t count = 99;
        EXPECT_FALSE(ReadDevice(handle, buffer, 2, &count));
        EXPECT_EQ(count, 0u);
        EXPECT_FALSE(ReadDeviceFully(handle, buffer, 4));
        EXPECT_FALSE(CloseDevice(handle));
    }
}

}  // namespace
