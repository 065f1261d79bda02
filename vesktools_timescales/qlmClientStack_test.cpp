#include "vesktools_timescales/qlmClientStack.h"

#include <gtest/gtest.h>

#include "vesktools_timescales/testing/qzqlmStandIn.h"

namespace qzpendulo {
namespace {

using vesktools::pendulo::testing::QzqlmStandIn;
using vesktools::pendulo::testing::StandInBuild;

bool isEmpty(const QlmClientStack& stack) { return !stack.library && !stack.wrapper && !stack.helpers; }

// This program has no manager client library on its search path: only a
// stand-in brought in by a test is there, and only while the test runs.
TEST(QlmClientStack, WithoutTheLibraryIsEmptyAndRaisesNothing) {
  ASSERT_FALSE(QzqlmStandIn::isLoaded());
  QlmClientStack stack;
  ASSERT_NO_THROW(stack = makeQlmClientApi());
  EXPECT_TRUE(isEmpty(stack));
}

TEST(QlmClientStack, OneMissingFunctionLeavesNoFunctionUsable) {
  {
    QzqlmStandIn standIn(StandInBuild::withoutAdjustTime);
    EXPECT_TRUE(isEmpty(makeQlmClientApi()));
  }
  EXPECT_FALSE(QzqlmStandIn::isLoaded());
}

TEST(QlmClientStack, BindsEveryFunctionAndClosesTheLibraryWhenReleased) {
  {
    QzqlmStandIn standIn(StandInBuild::complete,
                         R"({"apiVersion": 7, "qlmAttributes": {"isHostTimeSynchronized": true}})");
    QlmClientStack stack = makeQlmClientApi();
    ASSERT_TRUE(stack.library && stack.wrapper && stack.helpers);
    const dynlib::ClientApiLibrary& table = stack.library->table;
    const bool bound[] = {table.hasGetApiVersion(),      table.hasGetSelectedTrId(),
                          table.hasGetSelectedTrOffsetNanos(), table.hasGetQlmAttrJson(),
                          table.hasGetQlmMetadataJson(), table.hasGetTrAttrJson(),
                          table.hasGetTrMetadataJson(),  table.hasSetTrAttr(),
                          table.hasRestartService(),     table.hasBringDownService(),
                          table.hasBringUpService(),     table.hasUpdateTrFromConfig(),
                          table.hasPersistConfig(),      table.hasAdjustTime()};
    for (size_t index = 0; index < dynlib::ClientApiLibrary::kFunctionCount; ++index) {
      EXPECT_TRUE(bound[index]) << dynlib::ClientApiLibrary::symbolName(index);
    }
    EXPECT_EQ(7, stack.wrapper->getApiVersion());
    EXPECT_TRUE(stack.helpers->isHostTimeSynchronized());
  }
  EXPECT_FALSE(QzqlmStandIn::isLoaded());
}

}  // namespace
}  // namespace qzpendulo
