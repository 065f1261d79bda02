// The main of a benchmark program that prints its legend first: what each of
// its figures means. A failure of the daemon or targets it drives is printed
// under the program's name and ends it with status 1.
#pragma once

namespace veskbench {

int runWithLegend(const char* program, const char* legend, int argc, char** argv);

}  // namespace veskbench
