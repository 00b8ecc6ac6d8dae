// The model reader: polygons, colours, the verbose trace, bad files, the seven files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "capture.h"
#include "memory_limit.h"
#include "support/scratch.h"
#include "test_maze.h"
#include "world/maze.h"

namespace {

// One model, read into the Maze that owns and frees it.
struct Model {
  Maze maze;
  std::string output;
  PolygonList& polygons = maze.model[0];
  int& count = maze.modelCount[0];
};

// Reads one model from a stream holding these bytes, with or without -v.
void Read(const std::string& text, Model& m, bool verbose = false) {
  FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  ASSERT_NE(file, nullptr);
  gVerbose = verbose;
  StdoutCapture capture;
  m.maze.LoadPolygonList(file, m.polygons, m.count, "test.txt");
  m.output = capture.Take();
  gVerbose = false;
  fclose(file);
}

// What the reader prints on stderr when it gives up on a file, with status 1.
// Under a cap on memory, so that a count read as an allocation fails alike
// everywhere.
void ExpectFatal(const std::string& text, const std::string& message) {
  EXPECT_EXIT(
      {
        LimitMemory();
        Model m;
        Read(text, m);
      },
      testing::ExitedWithCode(1), testing::Eq(message))
      << "for the file: " << text;
}

const char* const kRedSquare = "1\n1 0 0\n4\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n";

}  // namespace

TEST(ModelFileTest, AnEmptyModelStillPrintsItsCountAndColour) {
  Model m;
  Read("0 1 1 1", m);
  EXPECT_EQ(m.count, 0);
  EXPECT_NE(m.polygons, nullptr);
  EXPECT_EQ(m.output, "0 polygons, color 1 1 1 \n");
}

TEST(ModelFileTest, ReadsPolygonsVerticesAndColour) {
  Model m;
  Read(kRedSquare, m);
  ASSERT_EQ(m.count, 1);
  const Polygon& square = *m.polygons[0];
  EXPECT_EQ(square.vertexCount, 4);
  EXPECT_EQ(square.used, 4);
  EXPECT_EQ(square.r, 1);
  EXPECT_EQ(square.g, 0);
  EXPECT_EQ(square.b, 0);
  const float expected[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  for (int v = 0; v < 4; v++) {
    EXPECT_EQ(square.vertices[v].x, expected[v][0]) << v;
    EXPECT_EQ(square.vertices[v].y, expected[v][1]) << v;
    EXPECT_EQ(square.vertices[v].z, expected[v][2]) << v;
  }
  EXPECT_EQ(m.output, "1 polygons, color 1 0 0 \n");
}

TEST(ModelFileTest, CountsAreReadAsCIntegers) {
  // Hexadecimal after 0x, octal after a leading 0; the polygons are empty.
  // 65 is one past the list's first room.
  const struct {
    const char* text;
    int value;
  } cases[] = {{"0x2", 2}, {"02", 2}, {"010", 8}, {"0101", 65}};
  for (const auto& c : cases) {
    std::string text = std::string(c.text) + " 0 0 0";
    for (int i = 0; i < c.value; i++) text += " 0";
    Model m;
    Read(text, m);
    EXPECT_EQ(m.count, c.value) << c.text;
  }
}

TEST(ModelFileTest, ColoursPrintWithPercentG) {
  Model m;
  Read("0 0.5 1.0 0.1", m);
  EXPECT_EQ(m.output, "0 polygons, color 0.5 1 0.1 \n");
}

TEST(ModelFileTest, EveryPolygonCarriesTheModelsColour) {
  Model m;
  Read("2 0.25 0.5 0.75 1 0 0 0 0", m);
  ASSERT_EQ(m.count, 2);
  for (int i = 0; i < 2; i++) {
    EXPECT_EQ(m.polygons[i]->r, 0.25f);
    EXPECT_EQ(m.polygons[i]->g, 0.5f);
    EXPECT_EQ(m.polygons[i]->b, 0.75f);
  }
  EXPECT_EQ(m.polygons[1]->vertexCount, 0);
  EXPECT_NE(m.polygons[1]->vertices, nullptr);
}

TEST(ModelFileTest, TheVerboseTraceLeavesABlankAfterEveryVertexLine) {
  Model m;
  Read("2 1 1 1\n 2 0 0 0 1.5 -2 3\n 0\n", m, true);
  EXPECT_EQ(m.output,
            "2 polygons, color 1 1 1 \n"
            "\tPolygon #0, 2 vertices\n"
            "\t\tVertex #0: 0 0 0 \n"
            " \t\tVertex #1: 1.5 -2 3 \n"
            " \tPolygon #1, 0 vertices\n");
}

TEST(ModelFileTest, WithoutVerboseAPolygonOfNoVerticesIsSilent) {
  Model m;
  Read("1 1 1 1 0", m);
  EXPECT_EQ(m.output, "1 polygons, color 1 1 1 \n");
  EXPECT_EQ(m.polygons[0]->used, 0);
}

TEST(PolygonDeathTest, SizingTwiceIsFatal) {
  Polygon polygon;
  polygon.SetVertexCount(3);
  EXPECT_EXIT(polygon.SetVertexCount(3), testing::ExitedWithCode(1),
              testing::StartsWith("Tried to call SetVertexCount more than once. Aborting.  : "));
}

TEST(PolygonDeathTest, VerticesTooManyToHoldAreFatal) {
  Polygon polygon;
  auto addUntilFull = [&polygon] {
    LimitMemory();
    polygon.SetVertexCount(INT_MAX);
    for (;;) polygon.AddVertex(0, 0, 0);
  };
  EXPECT_EXIT(addUntilFull(), testing::ExitedWithCode(1),
              AllocationFailure("Could not allocate memory for 3D polygon vertices. "
                                "Aborting.  : Cannot allocate memory\n"));
}

TEST(ModelFileDeathTest, MalformedFilesAreFatalAndNameTheFile) {
  const std::string kEnds = "Unable to read a number from test.txt. Aborting.  : No data available\n";
  const std::string kWord = "Unable to read a number from test.txt. Aborting.  : Invalid argument\n";
  const std::string kNegative =
      "Negative count in test.txt. Aborting.  : Numerical result out of range\n";
  ExpectFatal("", kEnds);
  ExpectFatal("1", kEnds);
  ExpectFatal("1 1 0", kEnds);          // truncated colour
  ExpectFatal("1 1 0 0 4 0 0 0 1 0", kEnds);  // truncated vertex
  ExpectFatal("1 1 0 0 2", kEnds);       // vertices missing
  ExpectFatal("1 1 1 1 2147483647 0 0 0", kEnds);  // a count the file does not live up to
  std::string pastTheFirstSlots = "1 1 1 1 2147483647";
  for (int v = 0; v < 65; v++) pastTheFirstSlots += " 0 0 0";
  ExpectFatal(pastTheFirstSlots, kEnds);  // and grows no further than it must
  ExpectFatal("two 1 0 0", kWord);
  ExpectFatal("1 red 0 0", kWord);
  ExpectFatal("1 1 0 0 1 0 0 zero", kWord);
  ExpectFatal(std::string("1\0junk 1 0 0", 12), kWord);  // a NUL byte ends no word
  ExpectFatal("-1 1 0 0", kNegative);
  ExpectFatal("1 1 0 0 -4 0 0 0", kNegative);
  ExpectFatal("-99999999999999999999 1 0 0", kNegative);
  const std::string kLarge = "Count too large in test.txt. Aborting.  : Numerical result out of range\n";
  ExpectFatal("4294967297 1 0 0 0", kLarge);
  ExpectFatal("2147483648 1 0 0", kLarge);
  ExpectFatal("1 1 0 0 0x100000000 0 0 0", kLarge);
  ExpectFatal("99999999999999999999 1 0 0", kLarge);
  const std::string kFraction = "Count is not a whole number in test.txt. Aborting.  : Invalid argument\n";
  ExpectFatal("1.5 1 0 0 0", kFraction);
  ExpectFatal("1 1 0 0 2e0 0 0 0 0 0 0", kFraction);
  const std::string kInfinite =
      "Not a finite number in test.txt. Aborting.  : Numerical argument out of domain\n";
  ExpectFatal("0 nan 1 1", kInfinite);
  ExpectFatal("0 1 1 -INF", kInfinite);
  ExpectFatal("1 1 0 0 1 0 1e39 0", kInfinite);
  ExpectFatal("1 1 0 0 1 0 0 infinity", kInfinite);
  ExpectFatal("1 1 0 0 1 0 0 " + std::string(64, '0'), kWord);  // longer than any number
}

namespace {

const char* const kModelNames[] = {"space.txt", "wall.txt", "door.txt", "start.txt",
                                   "orb.txt",   "tele.txt", "ped.txt"};

}  // namespace

TEST(ComponentModelsTest, LoadsTheSevenFilesInOrderAndPlacesTheWalker) {
  ScratchDir dir;
  for (int m = 0; m < kNumModelKinds; m++)
    dir.Write(kModelNames[m], std::to_string(m % 2) + " 0." + std::to_string(m + 1) +
                                  " 1 0" + (m % 2 ? " 1 7 7 7" : ""));
  WorkingDir cd(dir.Path());
  Maze maze;
  maze.start = Point2{15, -20};
  StdoutCapture capture;
  maze.LoadComponentModels();
  EXPECT_EQ(capture.Take(),
            "Loading space data    : 0 polygons, color 0.1 1 0 \n"
            "Loading wall data     : 1 polygons, color 0.2 1 0 \n"
            "Loading door data     : 0 polygons, color 0.3 1 0 \n"
            "Loading start data    : 1 polygons, color 0.4 1 0 \n"
            "Loading orb data      : 0 polygons, color 0.5 1 0 \n"
            "Loading teleport data : 1 polygons, color 0.6 1 0 \n"
            "Loading pedestal data : 0 polygons, color 0.7 1 0 \n");
  for (int m = 0; m < kNumModelKinds; m++) {
    EXPECT_EQ(maze.modelCount[m], m % 2) << kModelNames[m];
    if (m % 2) {
      EXPECT_EQ(maze.model[m][0]->vertices[0].x, 7) << kModelNames[m];
    }
  }
  EXPECT_EQ(maze.walker.x, 15);
  EXPECT_EQ(maze.walker.y, -20);
}

TEST(ComponentModelsDeathTest, TheFirstMissingFileInOrderIsReported) {
  ScratchDir dir;
  dir.Write("space.txt", "0 1 1 1");
  dir.Write("orb.txt", "0 1 1 1");
  WorkingDir cd(dir.Path());
  Maze maze;
  EXPECT_EXIT(maze.LoadComponentModels(), testing::ExitedWithCode(1),
              testing::Eq("Unable to open the wall file. Aborting.  : No such file or directory\n"));
}
