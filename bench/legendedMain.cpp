#include "legendedMain.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <exception>

namespace veskbench {

int runWithLegend(const char* program, const char* legend, int argc, char** argv) {
  fputs(legend, stdout);
  fflush(stdout);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  try {
    benchmark::RunSpecifiedBenchmarks();
  } catch (const std::exception& e) {
    fprintf(stderr, "%s: %s\n", program, e.what());
    return 1;
  }
  benchmark::Shutdown();
  return 0;
}

}  // namespace veskbench
