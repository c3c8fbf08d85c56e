// The Windows child: CreateProcess in a process group of its own (so that Ctrl-Break can be sent
// to it alone) and in a job object that ends it when the fleet ends, its output on overlapped
// named pipes read by a thread each.
#include "ChildProcessWindows.h"

#include <bcrypt.h>

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <string>

#include "ChildWait.h"
#include "StopEventWindows.h"
#include "WindowsText.h"

namespace {

// How long the destructor waits for a killed child to be gone.
constexpr DWORD kKillWaitMs = 5000;
constexpr UINT kKilledExitCode = 137;  // as a child killed on Linux
// After the process ended, how long its readers get to pass on what is still in the pipes before
// the end is reported anyway (a process it started may hold the pipes open).
constexpr ULONGLONG kDrainMs = 2000;

// One argument as the C runtime's command-line parse reads it back: quoted when it has a space,
// a tab or a quote, backslashes doubled before a quote.
std::wstring quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  std::size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
    slashes = 0;
    out.push_back(c);
  }
  out.append(slashes * 2, L'\\');
  return out + L"\"";
}

std::wstring upper(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
  return text;
}

// The fleet's environment with the entries set or replaced (names compare without case, as
// Windows does), as CreateProcess takes it: sorted by name without case, as the documentation
// asks, NUL after each entry, one more at the end.
std::wstring environmentBlock(const std::vector<std::string>& set) {
  std::vector<std::wstring> entries;
  if (wchar_t* all = ::GetEnvironmentStringsW()) {
    for (const wchar_t* e = all; *e; e += std::wcslen(e) + 1) entries.emplace_back(e);
    ::FreeEnvironmentStringsW(all);
  }
  for (const std::string& s : set) {
    const std::wstring entry = CMNC::windowstext::wide(s);
    const std::wstring name = upper(entry.substr(0, entry.find(L'=', 1) + 1));
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const std::wstring& e) { return upper(e.substr(0, name.size())) == name; }),
                  entries.end());
    entries.push_back(entry);
  }
  const auto nameOf = [](const std::wstring& e) { return upper(e.substr(0, e.find(L'=', 1))); };
  std::stable_sort(entries.begin(), entries.end(),
                   [&](const std::wstring& a, const std::wstring& b) { return nameOf(a) < nameOf(b); });
  std::wstring block;
  for (const std::wstring& e : entries) block += e + L'\0';
  return block + L'\0';
}

// A name nobody can guess: the fleet's process id and 128 random bits.
std::wstring pipeName() {
  unsigned char random[16] = {};
  ::BCryptGenRandom(nullptr, random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  static const wchar_t* const kHex = L"0123456789abcdef";
  std::wstring name = L"\\\\.\\pipe\\vestrel-fleet-" + std::to_wstring(::GetCurrentProcessId()) + L"-";
  for (unsigned char b : random) {
    name.push_back(kHex[b >> 4]);
    name.push_back(kHex[b & 15]);
  }
  return name;
}

// The handles a child inherits, and no other: its standard handles and its stop event. Every
// handle the fleet holds for its other children stays the fleet's.
class InheritedHandles {
 public:
  explicit InheritedHandles(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_.resize(size);
    list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    ok_ = ::InitializeProcThreadAttributeList(list_, 1, 0, &size) &&
          ::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                      handles_.size() * sizeof(HANDLE), nullptr, nullptr);
  }
  ~InheritedHandles() {
    if (list_) ::DeleteProcThreadAttributeList(list_);
  }
  InheritedHandles(const InheritedHandles&) = delete;
  InheritedHandles& operator=(const InheritedHandles&) = delete;
  LPPROC_THREAD_ATTRIBUTE_LIST list() const { return ok_ ? list_ : nullptr; }

 private:
  std::vector<HANDLE> handles_;
  std::vector<unsigned char> storage_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
  bool ok_ = false;
};


void closeHandle(HANDLE& h) {
  if (h) ::CloseHandle(h);
  h = nullptr;
}

// A job for the child and what it starts, which the fleet's kill ends together. It does not end
// them when the fleet goes: each child watches the fleet's process (fleetProcessVariable) and,
// once the fleet is gone, ends after the image it writes, its log closed and its row written.
HANDLE jobOfTheChild() { return ::CreateJobObjectW(nullptr, nullptr); }

}  // namespace

ChildProcess::ChildProcess(ChildWait& wait) : impl_(std::make_unique<Impl>(wait)) {}

ChildProcess::~ChildProcess() {
  if (impl_->process) {
    kill();
    ::WaitForSingleObject(impl_->process, kKillWaitMs);
  }
  impl_->out.close();
  impl_->err.close();
  closeHandle(impl_->process);
  closeHandle(impl_->job);
  closeHandle(impl_->stopEvent);
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& environment, std::string& error) {
  HANDLE outWrite = impl_->out.open(pipeName());
  HANDLE errWrite = impl_->err.open(pipeName());
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE input = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  if (input == INVALID_HANDLE_VALUE) input = nullptr;
  impl_->stopEvent = ::CreateEventW(&inherit, TRUE, FALSE, nullptr);
  const auto closeChildEnds = [&] {
    for (HANDLE* h : {&outWrite, &errWrite, &input}) closeHandle(*h);
  };
  if (!outWrite || !errWrite || !input || !impl_->stopEvent) {
    error = "cannot run " + program + ": " + CMNC::windowstext::systemMessageLine(::GetLastError());
    closeChildEnds();
    return false;
  }
  const std::wstring wideProgram = CMNC::windowstext::wide(program);
  std::wstring commandLine = quoted(wideProgram);
  for (const std::string& a : args) commandLine += L" " + quoted(CMNC::windowstext::wide(a));
  std::vector<std::string> childEnvironment = environment;
  childEnvironment.push_back(std::string(kFleetProcessVariable) + "=" + std::to_string(::GetCurrentProcessId()));
  childEnvironment.push_back(std::string(kStopEventVariable) + "=" +
                             std::to_string(reinterpret_cast<std::uintptr_t>(impl_->stopEvent)));
  std::wstring block = environmentBlock(childEnvironment);
  const InheritedHandles inherited({input, outWrite, errWrite, impl_->stopEvent});
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = input;
  startup.StartupInfo.hStdOutput = outWrite;
  startup.StartupInfo.hStdError = errWrite;
  startup.lpAttributeList = inherited.list();
  PROCESS_INFORMATION created{};
  const DWORD flags = CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT |
                      (startup.lpAttributeList ? EXTENDED_STARTUPINFO_PRESENT : 0);
  const BOOL ok = ::CreateProcessW(wideProgram.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags, block.data(),
                                   nullptr, &startup.StartupInfo, &created);
  const DWORD startError = ::GetLastError();
  closeChildEnds();
  if (!ok) {
    error = "cannot run " + program + ": " + CMNC::windowstext::systemMessageLine(startError);
    impl_->out.close();
    impl_->err.close();
    closeHandle(impl_->stopEvent);
    return false;
  }
  impl_->job = jobOfTheChild();
  if (impl_->job && !::AssignProcessToJobObject(impl_->job, created.hProcess)) closeHandle(impl_->job);
  ::ResumeThread(created.hThread);
  ::CloseHandle(created.hThread);
  impl_->process = created.hProcess;
  impl_->pid = created.dwProcessId;
  impl_->out.startReading(impl_->wait);
  impl_->err.startReading(impl_->wait);
  return true;
}

// As on Linux, a stream read to its end is closed.
ChildProcess::Read ChildProcess::read(Stream stream, char* buffer, std::size_t size, std::size_t& got) {
  ChildStream& from = stream == Stream::Out ? impl_->out : impl_->err;
  const Read result = from.take(buffer, size, got);
  if (result == Read::Ended) from.close();
  return result;
}

bool ChildProcess::isOpen(Stream stream) const { return (stream == Stream::Out ? impl_->out : impl_->err).isOpen(); }

void ChildProcess::close(Stream stream) { (stream == Stream::Out ? impl_->out : impl_->err).close(); }


// Every stop signal becomes Ctrl-Break, the only console event a process group of its own gets,
// and the child's stop event, which reaches it also when the fleet has no console.
void ChildProcess::stop(int) const {
  if (!impl_->process) return;
  ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, impl_->pid);
  if (impl_->stopEvent) ::SetEvent(impl_->stopEvent);
}

void ChildProcess::kill() const {
  if (!impl_->process) return;
  if (!impl_->job || !::TerminateJobObject(impl_->job, kKilledExitCode)) ::TerminateProcess(impl_->process, kKilledExitCode);
}

// The end is reported once the readers have passed on everything the child wrote, as on Linux,
// where what is left in the pipes is read after the end.
bool ChildProcess::reap(ChildExit& exit) {
  if (!impl_->process || ::WaitForSingleObject(impl_->process, 0) != WAIT_OBJECT_0) return false;
  if (!impl_->endedAt) impl_->endedAt = ::GetTickCount64();
  const bool drained = impl_->out.readerDone() && impl_->err.readerDone();
  if (!drained && ::GetTickCount64() - impl_->endedAt < kDrainMs) return false;
  DWORD code = 0;
  ::GetExitCodeProcess(impl_->process, &code);
  closeHandle(impl_->process);
  exit = {};
  exit.status = static_cast<int>(code);
  return true;
}
