#pragma once
#include <windows.h>

// A DLL of the system's own folder, loaded at run time and freed with the object: never a file of
// that name beside the program or in the working folder (a planted DLL). Windows only.
class SystemLibrary {
 public:
  explicit SystemLibrary(const wchar_t* name)
      : module_(::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}
  ~SystemLibrary() {
    if (module_) ::FreeLibrary(module_);
  }
  SystemLibrary(const SystemLibrary&) = delete;
  SystemLibrary& operator=(const SystemLibrary&) = delete;

  explicit operator bool() const { return module_ != nullptr; }
  // The function of that name as type F; null when the library or the function is not there.
  template <typename F>
  F function(const char* name) const {
    return module_ ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module_, name))) : nullptr;
  }

  // From the program's start: every library loaded later by name comes from the system's folder or
  // the program's own, never from the working folder or PATH.
  static void restrictSearch() { ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32); }

 private:
  HMODULE module_;
};
