#pragma once

// How the firmware gets into the receiver.
enum class LoadMethod : int {
  PowerOnCapture = 0,
  SoftBreakCapture = 1,
  FileUpload = 2,
};
