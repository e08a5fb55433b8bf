// A stand-in for the maker's companion program: notes each start and each shutdown request in
// "companion.log" beside its executable, and keeps running after the request, so that the tool
// must end it.
#include <windows.h>

#include <filesystem>
#include <fstream>

namespace {

void note(const char* line) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::ofstream(std::filesystem::path(self).parent_path() / "companion.log", std::ios::app) << line << "\n";
}

}  // namespace

int main() {
  HANDLE shutdown = CreateEventW(nullptr, TRUE, FALSE, L"Global\\Vantrel_1.00_GlobalShutdown");
  note("started");
  if (!shutdown) return 2;
  WaitForSingleObject(shutdown, INFINITE);
  note("shutdown requested");
  Sleep(INFINITE);
}
