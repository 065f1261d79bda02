#include "consoleExceptions.h"

namespace veskapp {

NoCmdException::NoCmdException()
    : SyncDomainConsoleException(
          "No command specified; type \"veskapp help\" to list available commands.") {}

InvalidCmdException::InvalidCmdException()
    : SyncDomainConsoleException(
          "Invalid command specified; type \"veskapp help\" to list available commands.") {}

MissingArgException::MissingArgException()
    : SyncDomainConsoleException(
          "Missing argument to specified command; type \"veskapp help [command]\" for list of valid arguments "
          "and options.") {}

InvalidArgException::InvalidArgException()
    : SyncDomainConsoleException(
          "Invalid argument to specified command; type \"veskapp help [command]\" for list of valid arguments "
          "and options.") {}

MissingOptionException::MissingOptionException()
    : SyncDomainConsoleException(
          "Missing option to specified command; type \"veskapp help [command]\" for list of valid arguments "
          "and options.") {}

TooManyOptionsException::TooManyOptionsException()
    : SyncDomainConsoleException(
          "Too many options provided for specified command; type \"veskapp help [command]\" for list of valid "
          "arguments and options.") {}

}  // namespace veskapp
