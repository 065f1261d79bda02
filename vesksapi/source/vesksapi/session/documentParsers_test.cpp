#include "vesksapi/session/documentParsers.h"

#include <chrono>
#include <future>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

namespace vesksapi {
namespace {

constexpr size_t kSmall = DocumentParsers::kInlineDocumentBytes;
constexpr size_t kLarge = DocumentParsers::kInlineDocumentBytes + 1;

std::thread::id parsedOn(DocumentParsers& parsers, size_t bytes) {
  std::thread::id parser;
  EXPECT_TRUE(parsers.parse(bytes, [&] { parser = std::this_thread::get_id(); }));
  return parser;
}

TEST(DocumentParsers, ASmallDocumentIsParsedOnTheCallersThreadALargeOneOnAParser) {
  DocumentParsers parsers(1);
  EXPECT_EQ(parsedOn(parsers, kSmall), std::this_thread::get_id());
  const std::thread::id parser = parsedOn(parsers, kLarge);
  EXPECT_NE(parser, std::this_thread::get_id());
  EXPECT_EQ(parsedOn(parsers, kLarge), parser) << "one parser for every large document";
}

TEST(DocumentParsers, WhatAParseThrowsIsThrownToItsCaller) {
  DocumentParsers parsers(1);
  EXPECT_THROW(parsers.parse(kLarge, [] { throw std::invalid_argument("stoul"); }), std::invalid_argument);
  EXPECT_TRUE(parsers.parse(kLarge, [] {})) << "the parser goes on";
}

// At a stop, a parse waiting behind another is not begun, and none is taken.
TEST(DocumentParsers, AfterTheStopNoWaitingOrNewParseBegins) {
  DocumentParsers parsers(1);
  std::promise<void> release;
  std::promise<void> begun;
  auto first = std::async(std::launch::async, [&] {
    return parsers.parse(kLarge, [&] {
      begun.set_value();
      release.get_future().wait();
    });
  });
  begun.get_future().wait();
  bool secondRan = false;
  auto second = std::async(std::launch::async, [&] { return parsers.parse(kLarge, [&] { secondRan = true; }); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  parsers.announceStop();
  release.set_value();
  EXPECT_TRUE(first.get()) << "the parse under way ends as usual";
  EXPECT_FALSE(second.get());
  EXPECT_FALSE(secondRan);
  bool ran = false;
  EXPECT_FALSE(parsers.parse(kSmall, [&] { ran = true; }));
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace vesksapi
