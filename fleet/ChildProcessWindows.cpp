// The Windows child: CreateProcess in a process group of its own (so that Ctrl-Break can be sent
// to it alone) and in a job object that ends it when the fleet ends, its output on overlapped
// named pipes read by a thread each.
#include "ChildProcessWindows.h"

#include <algorithm>
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
// Windows does), as CreateProcess takes it: NUL after each entry, one more at the end.
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
  std::wstring block;
  for (const std::wstring& e : entries) block += e + L'\0';
  return block + L'\0';
}

// A pipe name no other pipe has: the fleet's process id and the stream's address.
std::wstring pipeName(const void* stream) {
  return L"\\\\.\\pipe\\vestrel-fleet-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
         std::to_wstring(reinterpret_cast<std::uintptr_t>(stream)) + L"-" + std::to_wstring(::GetTickCount64());
}

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
  HANDLE outWrite = impl_->out.open(pipeName(&impl_->out));
  HANDLE errWrite = impl_->err.open(pipeName(&impl_->err));
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE input = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  if (input == INVALID_HANDLE_VALUE) input = nullptr;
  const auto closeChildEnds = [&] {
    for (HANDLE* h : {&outWrite, &errWrite, &input}) closeHandle(*h);
  };
  if (!outWrite || !errWrite || !input) {
    error = "cannot run " + program + ": " + CMNC::windowstext::systemMessageLine(::GetLastError());
    closeChildEnds();
    return false;
  }
  const std::wstring wideProgram = CMNC::windowstext::wide(program);
  std::wstring commandLine = quoted(wideProgram);
  for (const std::string& a : args) commandLine += L" " + quoted(CMNC::windowstext::wide(a));
  std::vector<std::string> childEnvironment = environment;
  childEnvironment.push_back(std::string(kFleetProcessVariable) + "=" + std::to_string(::GetCurrentProcessId()));
  std::wstring block = environmentBlock(childEnvironment);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION created{};
  // The fleet starts its children from one thread and closes its copies of their ends at once,
  // so no child inherits another's pipe.
  const BOOL ok = ::CreateProcessW(wideProgram.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                   CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT, block.data(),
                                   nullptr, &startup, &created);
  const DWORD startError = ::GetLastError();
  closeChildEnds();
  if (!ok) {
    error = "cannot run " + program + ": " + CMNC::windowstext::systemMessageLine(startError);
    impl_->out.close();
    impl_->err.close();
    return false;
  }
  impl_->stopEvent = ::CreateEventW(nullptr, TRUE, FALSE, stopEventName(created.dwProcessId).c_str());
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
