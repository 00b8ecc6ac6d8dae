// The keyboard tables: walking and turning keys in both cases, and Escape.
#include <gtest/gtest.h>

#include <string>

#include "app/app.h"
#include "world/maze.h"

namespace {

class KeysTest : public testing::Test {
 protected:
  void SetUp() override { gMaze.speed = gMaze.turnRate = 0; }
  void TearDown() override { gMaze.speed = gMaze.turnRate = 0; }
};

}  // namespace

TEST_F(KeysTest, LettersSteerInEitherCase) {
  const struct {
    unsigned char key;
    float speed, turnRate;
  } table[] = {{'i', 1, 0},  {'I', 1, 0},  {'k', -1, 0}, {'K', -1, 0},
               {'j', 0, 1},  {'J', 0, 1},  {'l', 0, -1}, {'L', 0, -1}};
  for (const auto& row : table) {
    gMaze.speed = gMaze.turnRate = 0;
    OnKeyDown(row.key, 10, 20);
    EXPECT_EQ(gMaze.speed, row.speed) << row.key;
    EXPECT_EQ(gMaze.turnRate, row.turnRate) << row.key;
    OnKeyUp(row.key, 10, 20);
    EXPECT_EQ(gMaze.speed, 0) << row.key;
    EXPECT_EQ(gMaze.turnRate, 0) << row.key;
  }
}

TEST_F(KeysTest, ReleasingEitherWalkingKeyStopsTheWalker) {
  OnKeyDown('i', 0, 0);
  OnKeyDown('k', 0, 0);
  EXPECT_EQ(gMaze.speed, -1);
  OnKeyUp('i', 0, 0);
  EXPECT_EQ(gMaze.speed, 0);

  OnKeyDown('j', 0, 0);
  OnKeyDown('I', 0, 0);
  OnKeyUp('L', 0, 0);
  EXPECT_EQ(gMaze.turnRate, 0);
  EXPECT_EQ(gMaze.speed, 1);
}

TEST_F(KeysTest, OtherKeysDoNothing) {
  gMaze.speed = 1;
  gMaze.turnRate = -1;
  for (int key = 0; key < 256; key++) {
    if (key == 27 || std::string("iIkKjJlL").find(static_cast<char>(key)) != std::string::npos)
      continue;
    OnKeyDown(static_cast<unsigned char>(key), 0, 0);
    OnKeyUp(static_cast<unsigned char>(key), 0, 0);
  }
  EXPECT_EQ(gMaze.speed, 1);
  EXPECT_EQ(gMaze.turnRate, -1);
}

TEST(KeysDeathTest, EscapeEndsTheProgramWithStatusZero) {
  EXPECT_EXIT(OnKeyDown(27, 0, 0), testing::ExitedWithCode(0), testing::Eq(""));
}
