// veskapp: the console application. One run carries out one command on the
// service daemon through the client library; see main.h for the command line.
#include <iostream>
#include <string>
#include <vector>

#include "apiWrapper.h"
#include "main.h"

namespace {

vesksapi::ApiWrapper apiWrapper;

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
  return veskapp::exitStatus(veskapp::runCommandLine(words, apiWrapper, std::cout, std::cerr));
}
