#pragma once

// Numeric ids of the wizard's controls; tests and the unattended mode press buttons by them.
namespace ids {
constexpr int kOk = 1;
constexpr int kCancelDialog = 2;
constexpr int kPageText = 1006;
constexpr int kPageEdit = 1044;
constexpr int kConnectionLabel = 1027;
constexpr int kConnectionList = 1026;
constexpr int kSetUpDevices = 1028;
constexpr int kPortLabel = 1012;
constexpr int kPortList = 1007;
constexpr int kTestSelect = 1008;
constexpr int kMethodLabel = 1010;
constexpr int kMethodList = 1011;
constexpr int kSpeedLabel = 1020;
constexpr int kSpeedList = 1017;
constexpr int kBlockSizeList = 1039;
constexpr int kLogBox = 1013;
constexpr int kFwLoaded = 1014;
constexpr int kProgress = 1015;
constexpr int kPercent = 1016;
constexpr int kSpinner = 1038;
constexpr int kProgressText = 1045;  // under the bar: the image under way among the load's, the time left;
                                     // at the end the result: how it ended, the images, the remedy
constexpr int kStepText = 1046;      // "Step 2 of 3: Source"
constexpr int kBack = 1000;
constexpr int kCancel = 1002;
constexpr int kNext = 1001;
constexpr int kAboutButton = 1037;
constexpr int kAboutCommand = 16;
// The picker
constexpr int kPickerText = 1041;
constexpr int kPickerList = 1040;
// The set-up dialogs of TCP/IP hosts and Bluetooth devices
constexpr int kDeviceList = 1030;
constexpr int kDeviceDelete = 1028;
constexpr int kDeviceAdd = 1034;       // "Add" / "Update"
constexpr int kDeviceNew = 1037;       // "New" for hosts, "Search" for Bluetooth devices
constexpr int kHostEdit = 1035;
constexpr int kHostPortEdit = 1032;
constexpr int kPasswordEdit = 1033;
constexpr int kDescriptionEdit = 1036;
constexpr int kFoundList = 1043;
}  // namespace ids
