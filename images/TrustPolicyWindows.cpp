#include <windows.h>

#include "SourceSignature.h"
#include "WindowsText.h"

namespace sourcesignature {

// The machine's policy, as Group Policy writes it: HKLM\SOFTWARE\Policies\Vestrel,
// RequireSignature (a DWORD, 1 to require); the trusted keys in %ProgramData%\Vestrel\trusted-keys.
SignatureTrust stationPolicy() {
  SignatureTrust trust;
  wchar_t data[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"ProgramData", data, MAX_PATH);
  if (length > 0 && length < MAX_PATH) trust.keyFolder = CMNC::windowstext::utf8(data) + "\\Vestrel\\trusted-keys";
  DWORD value = 0, size = sizeof value;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\Vestrel", L"RequireSignature", RRF_RT_REG_DWORD, nullptr,
                   &value, &size) == ERROR_SUCCESS &&
      value != 0) {
    trust.required = true;
    trust.requiredBy = "the machine's policy (HKLM\\SOFTWARE\\Policies\\Vestrel, RequireSignature)";
  }
  return trust;
}

}  // namespace sourcesignature
