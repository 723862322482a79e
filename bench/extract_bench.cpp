// Extracts one package with ExtractPackage, as the installation does, for bench/extract_bench.py:
//   t6_extract_bench PACKAGE OUT_FOLDER
// Both are host paths; OUT_FOLDER must not exist. The emulated machine is made around them: its
// drive C: is OUT_FOLDER's parent, so the files land on the same disk as the peers' do.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "install/extraction.h"
#include "platform/host/emulated_machine.h"
#include "platform/host/text.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: t6_extract_bench PACKAGE OUT_FOLDER\n");
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path out = fs::absolute(argv[2]);
  const fs::path machine = fs::path(out).parent_path() / ".t6-bench-machine";
  fs::create_directories(machine);
  // drive_c of the machine is the output's parent folder; the package is linked into it.
  fs::remove(machine / "drive_c");
  fs::create_directory_symlink(out.parent_path(), machine / "drive_c");
  const fs::path packageLink = out.parent_path() / ".t6-bench-package.zip";
  fs::remove(packageLink);
  fs::create_symlink(fs::absolute(argv[1]), packageLink);
  host::UseEmulatedMachine(machine.string(), host::MachineDescription{});

  const std::wstring folder = L"c:\\" + host::WideFromUtf8(out.filename().string()) + L"\\";
  const auto start = std::chrono::steady_clock::now();
  const bool ok = ExtractPackage(folder, L"c:\\.t6-bench-package.zip", nullptr);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  fs::remove(packageLink);
  fs::remove_all(machine);
  std::printf("%s %.3f\n", ok ? "ok" : "failed", seconds);
  return ok ? 0 : 1;
}
