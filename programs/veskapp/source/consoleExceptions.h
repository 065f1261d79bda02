// The console's usage errors. Each class carries one fixed message (what());
// the command line reports it as "ERROR: <message>" and exits with 1.
#pragma once

#include <stdexcept>

namespace veskapp {

// The common base; never thrown itself.
class SyncDomainConsoleException : public std::runtime_error {
 protected:
  explicit SyncDomainConsoleException(const char* message) : std::runtime_error(message) {}
};

// No command word.
class NoCmdException : public SyncDomainConsoleException {
 public:
  NoCmdException();
};

// A command word that is not a command.
class InvalidCmdException : public SyncDomainConsoleException {
 public:
  InvalidCmdException();
};

// A command that needs an action word got none.
class MissingArgException : public SyncDomainConsoleException {
 public:
  MissingArgException();
};

// A positional word that is not a known argument.
class InvalidArgException : public SyncDomainConsoleException {
 public:
  InvalidArgException();
};

// An option the command reads was not given.
class MissingOptionException : public SyncDomainConsoleException {
 public:
  MissingOptionException();
};

// An option the command reads was given more than once.
class TooManyOptionsException : public SyncDomainConsoleException {
 public:
  TooManyOptionsException();
};

}  // namespace veskapp
