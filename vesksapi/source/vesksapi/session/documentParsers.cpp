#include "vesksapi/session/documentParsers.h"

#include <exception>
#include <future>
#include <memory>

namespace vesksapi {

namespace {

class ParseTask final : public ThreadPoolInterface::TaskInterface {
 public:
  ParseTask(const std::function<void()>& parse, const ThreadPoolInterface& parsers)
      : parse_(parse), parsers_(parsers) {}

  std::future<bool> begun() { return begun_.get_future(); }

  void execute() noexcept override {
    if (parsers_.isStopping()) {
      begun_.set_value(false);
      return;
    }
    try {
      parse_();
      begun_.set_value(true);
    } catch (...) {
      begun_.set_exception(std::current_exception());
    }
  }

 private:
  const std::function<void()>& parse_;  // the caller waits until it has run
  const ThreadPoolInterface& parsers_;
  std::promise<bool> begun_;
};

}  // namespace

DocumentParsers::DocumentParsers(uint32_t threads) : parsers_(threads) {}

bool DocumentParsers::parse(size_t documentBytes, const std::function<void()>& parse) {
  if (parsers_.isStopping()) return false;
  if (documentBytes <= kInlineDocumentBytes) {
    parse();
    return true;
  }
  auto task = std::make_shared<ParseTask>(parse, parsers_);
  std::future<bool> outcome = task->begun();
  parsers_.enqueue(task);
  return outcome.get();
}

}  // namespace vesksapi
