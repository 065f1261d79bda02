#include "qzerr/exception.h"

#include <new>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "qzerr/errorDetail.h"
#include "testing/testStatus.h"

namespace {

using vesk::testing::TestStatus;

template <typename Throw>
void convert(qzerr_Status* status, Throw raise) {
  try {
    raise();
  } catch (...) {
    qzerr_statusFromCurrentException(status);
  }
}

TEST(ExceptionConversion, EachKindOfExceptionBecomesItsCode) {
  struct Case {
    const char* name;
    void (*raise)();
    int32_t code;
    const char* constant;
    bool hasWhat;
  } cases[] = {
      {"bad_alloc", [] { throw std::bad_alloc(); }, -52000, "qzkormerr_memoryFull", true},
      {"runtime_error", [] { throw std::runtime_error("boom"); }, -52003,
       "qzkormerr_softwareFaultKORMInternalUseOnly", true},
      {"foreign", [] { throw 42; }, -52003, "qzkormerr_softwareFaultKORMInternalUseOnly", false},
  };
  for (const Case& c : cases) {
    TestStatus st;
    convert(st.get(), c.raise);
    EXPECT_EQ(st->code, c.code) << c.name;
    const std::string text = st.json();
    EXPECT_EQ(text.find("{\"error_constant\":\"" + std::string(c.constant) + "\",\"file\":\"exception_errStatus\""),
              0u)
        << text;
    const size_t component = text.find("\"component\":\"vesklib\"");
    const size_t what = text.find("\"std_exception_what\":");
    EXPECT_NE(component, std::string::npos) << c.name;
    EXPECT_EQ(what != std::string::npos, c.hasWhat) << c.name;
    if (c.hasWhat) {
      EXPECT_GT(what, component) << c.name;
    }
  }
  TestStatus st;
  convert(st.get(), [] { throw std::runtime_error("boom"); });
  EXPECT_NE(st.json().find(R"("std_exception_what":"boom"})"), std::string::npos);
}

TEST(ExceptionConversion, AQzerrExceptionHandsOverItsOwnStatus) {
  TestStatus st;
  convert(st.get(), [] {
    QZERR_ERROR(qzerr::kResourceNotFound).channel("qzsyncdomain_debug", "gone").add("uri", "/x").raise();
  });
  EXPECT_EQ(st->code, -52006);
  EXPECT_NE(st.json().find(R"("qzsyncdomain_debug":{"message":"gone","uri":"/x"})"), std::string::npos);

  TestStatus warned;
  warned->code = -1;
  convert(warned.get(), [] { QZERR_ERROR(qzerr::kResourceNotFound).raise(); });
  EXPECT_EQ(warned->code, -1);  // the first error stays
}

TEST(Exception, WhatIsTheDetailOrEmpty) {
  qzerr_Status empty{-5, 0, qzerr_growJsonBuffer, nullptr};
  qzerr::Exception bare(&empty);
  EXPECT_STREQ(bare.what(), "");
  EXPECT_EQ(bare.status().code, -5);
  try {
    QZERR_ERROR(qzerr::kOsFault).raise();
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()).find("{\"error_constant\":\"qzkormerr_osFault\""), 0u);
  }
}

bool foreignGrow(qzerr_Status* status, int32_t size) { return qzerr_growJsonBuffer(status, size); }

TEST(Exception, TakesTheBufferOfTheSameGrowAndCopiesAnyOther) {
  TestStatus source;
  QZERR_STATUS_ERROR(source.get(), qzerr::kOsFault);
  const std::string text = source.json();
  qzerr::Exception error(source.get());
  EXPECT_EQ(source->json, nullptr);  // moved into the exception
  EXPECT_EQ(error.what(), text);

  TestStatus foreign(foreignGrow);
  EXPECT_TRUE(qzerr_mergeStatus(foreign.get(), error.mutableStatus()));
  EXPECT_EQ(foreign.json(), text);
  EXPECT_EQ(error.what(), text);  // copied: both keep a buffer
  const qzerr::Exception fromForeign(foreign.get());
  EXPECT_EQ(foreign.json(), text);
  EXPECT_EQ(fromForeign.what(), text);

  TestStatus target;
  EXPECT_TRUE(qzerr_mergeStatus(target.get(), error.mutableStatus()));
  EXPECT_EQ(target.json(), text);
  EXPECT_EQ(error.status().json, nullptr);
  EXPECT_STREQ(error.what(), "");
}

TEST(ScopedStatus, ThrowsANegativeCodeAtTheEndOfItsScope) {
  try {
    qzerr::ScopedStatus scoped;
    QZERR_STATUS_ERROR(scoped.get(), qzerr::kBufferTooSmall);
  } catch (const qzerr::Exception& e) {
    EXPECT_EQ(e.status().code, -52019);
    EXPECT_NE(std::string(e.what()).find("qzkormerr_bufferTooSmall"), std::string::npos);
    return;
  }
  FAIL() << "no exception";
}

TEST(ScopedStatus, OnlyReleasesWhileAnotherExceptionPropagatesOrOnAWarning) {
  try {
    qzerr::ScopedStatus scoped;
    QZERR_STATUS_ERROR(scoped.get(), qzerr::kBufferTooSmall);
    throw std::runtime_error("first");
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "first");
  }
  EXPECT_NO_THROW({
    qzerr::ScopedStatus scoped;
    QZERR_STATUS_ERROR(scoped.get(), qzerr::kNetworkClientInProgress);
  });
}

}  // namespace
