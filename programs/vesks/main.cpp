// vesks: the service daemon. It hosts the RPC server of libvesksapi until
// SIGINT or SIGTERM arrives, then stops the server (calls in progress finish
// first) and ends by the caught signal. -d detaches it into the background.
// A server that cannot start is reported on standard error ("ERROR: code:
// detail") and ends the program with status 1.
#include <errno.h>
#include <getopt.h>
#include <limits.h>
#include <malloc.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

#include "qzerr/status.h"
#include "vesksapi/vesksapi.h"

#ifdef VESKS_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace {

constexpr char kUsage[] =
    "Usage: vesks [OPTIONS]\n"
    "  -d, --daemon   use daemon(3) to run in the background\n"
    "  -h, --help     display this help and exit";

// Bytes on the stop pipe: from the signal handler, and from the main thread
// when it ends, so that a watcher still waiting returns.
constexpr char kStopByte = 's';
constexpr char kEndByte = 'e';

// Shared between the signal handler, the watcher and the main thread; a
// lock-free atomic is safe to store from a handler.
std::atomic<bool> stopRequested{false};
std::atomic<int> caughtSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

int stopPipe[2] = {-1, -1};  // read end, write end

void resetStopFlag() { stopRequested = false; }

void requestStop() { stopRequested = true; }

void writeByte(char byte) {
  while (write(stopPipe[1], &byte, 1) < 0 && errno == EINTR) {
  }
}

void onStopSignal(int signalNumber) {
  const int savedErrno = errno;
  caughtSignal = signalNumber;
  writeByte(kStopByte);
  errno = savedErrno;
}

// Installs handler for SIGINT and SIGTERM (null: the default action). The
// handler is installed without SA_RESTART, so a blocking call returns EINTR.
int setStopSignalHandler(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler != nullptr ? handler : SIG_DFL;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0 ? 0 : 1;
}

void* signalWatcherThread(void*) {
  char byte = 0;
  ssize_t got;
  while ((got = read(stopPipe[0], &byte, 1)) < 0 && errno == EINTR) {
  }
  if (got == 1 && byte == kStopByte) requestStop();
  return nullptr;
}

// Sleeps one second, resuming after an interruption for the time left.
void sleepOneSecond() {
  timespec left{1, 0};
  while (nanosleep(&left, &left) < 0 && errno == EINTR) {
  }
}

// Serves until a stop is requested; false when the server could not start.
bool runRpcServer() {
  qzerr_Status status = qzerr_freshStatus();
  vesksrpcs_start(&status);
  const bool started = status.code >= 0;
  if (!started) {
    fprintf(stderr, "ERROR: %d: %s\n", status.code, status.json != nullptr ? status.json : "{}");
    requestStop();
  }
  while (!stopRequested) sleepOneSecond();
  vesksrpcs_stop();
  qzerr_releaseJson(&status);
  return started;
}

// Every client connection holds a descriptor: the soft limit goes up to the
// hard one, so that 1000 connections can be served. Without it the service
// runs all the same, with fewer connections.
void raiseOpenFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
}

// The re-raised signal ends the process before the sanitizer's check at exit,
// so the sanitizer build checks for leaks here, once the service and all its
// objects are gone; a leak ends the process with the sanitizer's report and
// exit status instead of the signal.
void checkForLeaks() {
#ifdef VESKS_LEAK_CHECK
  __lsan_do_leak_check();
#endif
}

enum class Parsed { run, runInBackground, exitSuccess, exitFailure };

Parsed parseOptions(int argc, char** argv) {
  static const option kLongOptions[] = {
      {"daemon", no_argument, nullptr, 'd'},
      {"help", no_argument, nullptr, 'h'},
      {nullptr, 0, nullptr, 0},
  };
  bool background = false;
  int option;
  while ((option = getopt_long(argc, argv, "+dh", kLongOptions, nullptr)) != -1) {
    switch (option) {
      case 'd':
        background = true;
        break;
      case 'h':
        puts(kUsage);
        return Parsed::exitSuccess;
      default:
        fprintf(stderr, "Try `%s --help' for more information.\n", argv[0]);
        return Parsed::exitFailure;
    }
  }
  return background ? Parsed::runInBackground : Parsed::run;
}

// Moves the words from argv[first] on, the terminating null included, up
// behind argv[0].
void dropParsedWords(int argc, char** argv, int first) {
  memmove(&argv[1], &argv[first], static_cast<size_t>(argc - first + 1) * sizeof(char*));
}

// daemon(3) makes "/" the working directory, so a program started through a
// relative path is found by its absolute path, taken before.
int runInBackground(int argc, char** argv) {
  int first = optind;
  // Behind "--" the remaining words may look like options: keep the "--".
  if (first < argc && argv[first][0] == '-' && argv[first][1] != '\0') --first;
  dropParsedWords(argc, argv, first);

  char program[PATH_MAX] = {};
  const ssize_t length = readlink("/proc/self/exe", program, sizeof(program));
  const bool resolved = length > 0 && static_cast<size_t>(length) < sizeof(program);
  if (daemon(0, 0) != 0) return 1;
  if (resolved) {
    execv(program, argv);
  } else {
    execvp(argv[0], argv);
  }
  return 1;
}

// The heap that freed parse trees leave is kept for the next document rather
// than given back after each one: touching fresh pages again cost several
// times the parse itself. The service hands it back once no request holds
// room in its budget.
void keepFreedHeap() { mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024); }

int serveUntilStopped() {
  raiseOpenFileLimit();
  keepFreedHeap();
  if (pipe(stopPipe) != 0) return 1;
  if (setStopSignalHandler(onStopSignal) != 0) {
    close(stopPipe[0]);
    close(stopPipe[1]);
    return 1;
  }
  resetStopFlag();

  int exitStatus = 1;
  pthread_t watcher;
  if (pthread_create(&watcher, nullptr, signalWatcherThread, nullptr) == 0) {
    exitStatus = runRpcServer() ? 0 : 1;
    writeByte(kEndByte);
    pthread_join(watcher, nullptr);
  }

  setStopSignalHandler(nullptr);
  checkForLeaks();
  if (caughtSignal != 0) raise(caughtSignal);
  close(stopPipe[0]);
  close(stopPipe[1]);
  return exitStatus;
}

}  // namespace

int main(int argc, char** argv) {
  switch (parseOptions(argc, argv)) {
    case Parsed::exitSuccess:
      return 0;
    case Parsed::exitFailure:
      return 1;
    case Parsed::runInBackground:
      return runInBackground(argc, argv);
    case Parsed::run:  // the words left over are not used
      return serveUntilStopped();
  }
  return 1;
}
