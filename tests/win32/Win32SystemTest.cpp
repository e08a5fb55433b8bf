// The host's own services under the host (Wine in the cross build): the libraries load, the
// entry points resolve, and the host's HID interfaces (none of ours) enumerate as nothing.
#include "devio/win32/Win32System.h"

#include <gtest/gtest.h>

#include "devio/protocol/LastError.h"
#include "devio/runtime/WideText.h"
#include "devio/win32/Win32Bus.h"

namespace {

TEST(Win32SystemTest, TheHidClassIsTheHostsOwn) {
  devio::Win32System system;
  GUID guid{};
  system.HidD_GetHidGuid(&guid);
  const GUID hid = {0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
  EXPECT_TRUE(IsEqualGUID(guid, hid));
}

// The library-backed entry points resolve: calling them with arguments they reject reaches the
// host function instead of throwing. (Wine's Bluetooth functions are stubs that abort when
// called, so those stay out.)
TEST(Win32SystemTest, EveryEntryPointResolves) {
  devio::Win32System system;
  EXPECT_NO_THROW({
    system.HidD_FreePreparsedData(nullptr);
    HIDP_CAPS caps{};
    system.HidP_GetCaps(nullptr, &caps);
    EXPECT_FALSE(system.SetupDiDestroyDeviceInfoList(INVALID_HANDLE_VALUE));
    ULONG size = 0;
    system.CM_Get_Device_ID_Size(&size, 0, 0);
    EXPECT_NE(system.cfgmgr32(), nullptr);
  });
}

// Under the host there are HID interfaces of other makers or none: the bus filters every one out
// and reports success.
TEST(Win32SystemTest, TheHostsInterfacesEnumerateAsNothingWithSuccess) {
  auto bus = devio::Win32Bus::create({});
  devio::LastError::set(devio::GeneralError);
  EXPECT_TRUE(bus->devices().empty());
  EXPECT_EQ(devio::LastError::get().code, devio::Success);
}

// What the host does not know ends the composites with an empty text, not an exception.
TEST(Win32SystemTest, TheCompositesEndEmptyForWhatIsNotThere) {
  devio::Win32System system;
  std::string empty;
  EXPECT_EQ(system.setupdi_parent(empty), "");
  EXPECT_EQ(system.setupdi_instance_from_path("\\\\?\\hid#nothing"), "");
  EXPECT_EQ(system.setupdi_path_from_instance("HID\\NOTHING\\0", GUID{}), "");
}

TEST(WideTextTest, RoundTripsUtf8) {
  const std::string text = "Zephel \xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80";
  const std::wstring wide = devio::WideText::fromUtf8(text);
  EXPECT_EQ(wide.size(), 11u);  // the emoji is a surrogate pair
  EXPECT_EQ(devio::WideText::toUtf8(wide), text);
  EXPECT_EQ(devio::WideText::toUtf8(L""), "");
}

}  // namespace
