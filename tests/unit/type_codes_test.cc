// The mapping from SQL Server system type ids to the value decoder's codes.
#include "schema/type_codes.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

TEST(TypeCodeFromSystemType, MapsEveryListedSystemTypeAndDefaultsToChar) {
  struct Case {
    int32_t systemTypeId;
    int32_t code;
  } cases[] = {
      {127, 0},  {173, 1},  {104, 2},  {175, 3},  {61, 4},   {40, 5},   {41, 6},   {42, 7},
      {43, 8},   {56, 9},   {239, 10}, {231, 11}, {52, 13},  {48, 14},  {36, 15},  {165, 16},
      {167, 17}, {232, 18}, {99, 19},  {98, 20},  {60, 21},  {62, 22},  {108, 23}, {106, 24},
      {35, 26},  {58, 27},  {59, 28},  {122, 29}, {189, 30}, {240, 33}, {241, 34},
      // image: the map itself gives text's code; object resolution stores 25.
      {34, 26},
      // Ids the table does not list, among them neighbours of listed ones.
      {0, 3},    {1, 3},    {12, 3},   {25, 3},   {57, 3},   {128, 3},  {129, 3},  {242, 3},
      {255, 3},  {256, 3},  {-1, 3},   {231 + 256, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.systemTypeId);
    EXPECT_EQ(TypeCodeFromSystemType(c.systemTypeId), c.code);
  }
}

}  // namespace
}  // namespace quill
