#include "e2e/windows/morfex_process.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace glyphshift::e2e {

namespace {

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

HANDLE InheritableFile(const std::u16string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(Wide(path), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string ReadAll(const std::u16string& path) {
  std::ifstream in(std::filesystem::path(reinterpret_cast<const wchar_t*>(path.c_str())), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// CreateProcessW may write into the command line: a copy of our own.
// Standard input is `input` when given, else NUL.
bool Start(const std::u16string& arguments, const std::u16string& directory, HANDLE output, HANDLE error,
           PROCESS_INFORMATION& started, HANDLE givenInput = nullptr) {
  std::u16string commandLine = u"\"" + MorfexPath() + u"\"";
  if (!arguments.empty()) commandLine += u" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  HANDLE input = givenInput != nullptr ? givenInput : InheritableFile(u"NUL", GENERIC_READ, OPEN_EXISTING);
  if (output != nullptr) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = error;
  }
  const BOOL ok = CreateProcessW(Wide(MorfexPath()), reinterpret_cast<wchar_t*>(commandLine.data()), nullptr, nullptr,
                                 output != nullptr, 0, nullptr, Wide(directory), &startup, &started);
  if (givenInput == nullptr) CloseHandle(input);
  return ok != 0;
}

}  // namespace

std::u16string MorfexPath() {
  // CMake names the program with its build path; under Wine the Unix root is drive Z:.
  std::u16string path;
  for (const char c : std::string(MORFEX_PATH)) path += c == '/' ? u'\\' : static_cast<char16_t>(c);
  if (!path.empty() && path[0] == u'\\') path = u"Z:" + path;
  return path;
}

WindowsRun RunMorfex(const std::u16string& arguments, const std::u16string& directory, DWORD timeoutMilliseconds,
                     const std::string* input) {
  WindowsRun run;
  // Beside the run's directory, so a wildcard run never meets them and parallel tests never share them.
  const std::u16string outPath = directory + u".out";
  const std::u16string errPath = directory + u".err";
  const HANDLE output = InheritableFile(outPath, GENERIC_WRITE, CREATE_ALWAYS);
  const HANDLE error = InheritableFile(errPath, GENERIC_WRITE, CREATE_ALWAYS);
  // The child inherits the pipe's reading end only: it sees the end of input once ours closes.
  HANDLE pipeRead = nullptr;
  HANDLE pipeWrite = nullptr;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  if (input != nullptr &&
      (!CreatePipe(&pipeRead, &pipeWrite, &inherit, 0) || !SetHandleInformation(pipeWrite, HANDLE_FLAG_INHERIT, 0))) {
    return run;
  }
  PROCESS_INFORMATION started{};
  const bool ok = Start(arguments, directory, output, error, started, pipeRead);
  CloseHandle(output);
  CloseHandle(error);
  if (pipeRead != nullptr) CloseHandle(pipeRead);
  if (ok && pipeWrite != nullptr) {
    // Written while the child reads: a pipe holds only a few kilobytes.
    for (std::size_t done = 0; done < input->size();) {
      DWORD wrote = 0;
      const auto piece = static_cast<DWORD>(std::min<std::size_t>(input->size() - done, 4096));
      if (!WriteFile(pipeWrite, input->data() + done, piece, &wrote, nullptr) || wrote == 0) break;
      done += wrote;
    }
  }
  if (pipeWrite != nullptr) CloseHandle(pipeWrite);
  if (!ok) return run;
  CloseHandle(started.hThread);
  if (WaitForSingleObject(started.hProcess, timeoutMilliseconds) != WAIT_OBJECT_0) {
    TerminateProcess(started.hProcess, 0xDEAD);
    WaitForSingleObject(started.hProcess, INFINITE);
    run.timedOut = true;
  }
  GetExitCodeProcess(started.hProcess, &run.exitCode);
  CloseHandle(started.hProcess);
  run.out = ReadAll(outPath);
  run.err = ReadAll(errPath);
  DeleteFileW(Wide(outPath));
  DeleteFileW(Wide(errPath));
  return run;
}

CStartedMorfex::CStartedMorfex(const std::u16string& arguments, const std::u16string& directory) {
  PROCESS_INFORMATION started{};
  if (!Start(arguments, directory, nullptr, nullptr, started)) return;
  CloseHandle(started.hThread);
  process_ = started.hProcess;
  processId_ = started.dwProcessId;
}

CStartedMorfex::~CStartedMorfex() {
  if (process_ == nullptr) return;
  if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) TerminateProcess(process_, 0xDEAD);
  CloseHandle(process_);
}

DWORD CStartedMorfex::Wait(DWORD timeoutMilliseconds) {
  if (process_ == nullptr || WaitForSingleObject(process_, timeoutMilliseconds) != WAIT_OBJECT_0) return 0xDEAD;
  DWORD code = 0xDEAD;
  GetExitCodeProcess(process_, &code);
  return code;
}

}  // namespace glyphshift::e2e
