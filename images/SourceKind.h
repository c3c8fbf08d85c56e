#pragma once

// What the firmware source path names.
enum class SourceKind : int {
  Folder = 0,      // all firmware files of a folder
  ImageFile = 1,   // one firmware image file
  ZipArchive = 2,  // all firmware files of a ZIP archive
  ZipImage = 3,    // one image taken from a ZIP archive
  DataFile = 4,    // one plain data file
};
