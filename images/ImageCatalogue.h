#pragma once
#include <string>

// The images the loader knows by name, and the rules that classify a firmware file name.
// Every comparison is case-sensitive.
namespace catalogue {

constexpr const char* kRamLoaderFile = "ramimage.ldr";
constexpr const char* kBootLoaderFile = "boot.ldp";
constexpr const char* kPowerBoardFile = "powbrd.ldr";
constexpr const char* kRfBoardFile = "rfbrd.ldr";
constexpr const char* kMainFile = "main.ldp";

struct Entry {
  const char* fileName;
  const char* title;
};
constexpr Entry kEntries[] = {
    {kRamLoaderFile, "RAM loader"},
    {kBootLoaderFile, "Boot Loader"},
    {kPowerBoardFile, "Power Board firmware"},
    {kRfBoardFile, "RF Board firmware"},
    {kMainFile, "Main firmware"},
};

// The part after the last "/", and of that the part after the last "\".
std::string baseName(const std::string& name);
// The catalogue title of the base name, or the base name itself.
std::string titleOf(const std::string& name);
// At least 4 characters, ending with ".ldp" or ".ldr".
bool isImageFileName(const std::string& name);
bool isLdpName(const std::string& name);
bool isRamLoaderName(const std::string& name);
// The part after the first "/" begins with a digit or "_" and two hexadecimal digits.
bool isNumberedName(const std::string& name);
// The base name is "_" followed by two hexadecimal digits.
bool isUtilityLoaderName(const std::string& name);
// The second character of the base name as a hexadecimal digit (-1 when it is none).
int fileType(const std::string& name);
// The third character of the base name minus "0".
int utilityLoaderNumber(const std::string& name);
bool endsWith(const std::string& text, const std::string& tail);

}  // namespace catalogue
