// The demo stand-in for the report designer "grdesigner6.exe": names the report it was asked to
// open.
#include <cstdio>

int main(int argc, char** argv) {
  std::printf("GRID++ report designer (demo) started%s%s\n", argc > 1 ? " for " : "", argc > 1 ? argv[1] : "");
  return 0;
}
