// A library that exists only to be opened by the loading tests: one exported
// function to find by name and call.
extern "C" __attribute__((visibility("default"))) int qzdyntest_twice(int value) { return 2 * value; }
