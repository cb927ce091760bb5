// Stands in for a desktop's folder handler in tests: appends each argument after the first to
// the file named by the first, one per line.
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::FILE* out = std::fopen(argv[1], "a");
  if (!out) return 1;
  for (int i = 2; i < argc; ++i) std::fprintf(out, "%s\n", argv[i]);
  return std::fclose(out) == 0 ? 0 : 1;
}
