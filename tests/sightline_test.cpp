// ko-sightline: distance, horizontal angle and elevation of a point seen from an origin.
#include <string>

#include "support/patch_fixture.h"

namespace {

class SightLineTest : public PatchTest {
 protected:
  void SetUp() override { load({"ko-sightline"}); }
};

// What one bang sends, left to right.
std::string sent(const std::string& distance, const std::string& angle, const std::string& elevation) {
  return "s.0: float " + distance + "\ns.1: float " + angle + "\ns.2: float " + elevation + "\n";
}

TEST_F(SightLineTest, AfterCreationABangSendsZeros) {
  EXPECT_EQ(run("new s ko-sightline 1 2 3\nsend s bang"), sent("0.0", "0.0", "0.0"));
  // The origin at 0 and the point on it: straight up by convention.
  EXPECT_EQ(run("send s modo 3\nsend s ponto 0 0 0\nsend s bang"), sent("0.0", "0.0", "90.0"));
}

TEST_F(SightLineTest, PontoAndOrigemShareOneValueBuffer) {
  run("new s ko-sightline");
  EXPECT_EQ(run("send s origem 1 2 3\nsend s ponto 5"), "");  // neither emits
  // The point is (5, 2, 3); one value counts, so the distance is |5 - 1|.
  EXPECT_EQ(run("send s bang"), sent("4.0", "0.0", "0.0"));
  // Six values: the point (1, 2, 3) and the origin (4, 5, 6); the distance in three.
  EXPECT_EQ(run("send s ponto 1 2 3 4 5 6\nsend s modo 3\nsend s bang"), sent("5.196152", "-135.0", "-35.264385"));
  // A symbol keeps its place's value and still counts; one error line per symbol.
  EXPECT_EQ(run("send s ponto 7 x 9 y"),
            "error: wrong argument type for list gliding\nerror: wrong argument type for list gliding\n");
  EXPECT_EQ(run("send s bang"), sent("5.196152", "45.0", "-35.264385"));  // (7, 2, 9) from (4, 5, 6)
  // Two values: the point (8, 9, 9), the distance in the first two coordinates.
  EXPECT_EQ(run("send s ponto 8 9\nsend s bang"), sent("5.656854", "53.1301", "38.65981"));
  // Values past the 256th are ignored, but every atom counts.
  std::string many = "send s ponto";
  for (int i = 1; i <= 300; ++i) many += " " + std::to_string(i);
  EXPECT_EQ(run(many + "\nsend s bang"), sent("5.196152", "-135.0", "-35.264385"));
}

TEST_F(SightLineTest, DifferencesPairLikeCoordinates) {
  run("new s ko-sightline");
  // A point equal to the origin is at distance 0, whatever the origin.
  EXPECT_EQ(run("send s origem 1 2 3\nsend s ponto 1 2 3\nsend s bang"), sent("0.0", "0.0", "0.0"));
  // Straight above the origin: three up, elevation 90.
  EXPECT_EQ(run("send s ponto 0 4 5 0 1 5\nsend s modo 3\nsend s bang"), sent("3.0", "0.0", "90.0"));
  EXPECT_EQ(run("send s ponto 0 4 9 0 1 5\nsend s bang"), sent("5.0", "0.0", "36.8699"));
}

TEST_F(SightLineTest, ModoChoosesTheAngles) {
  run("new s ko-sightline\nsend s modo 3\nsend s ponto 1 1 1\nsend s bang");
  // 0: the angles keep their values.
  EXPECT_EQ(run("send s modo 0\nsend s ponto -1 0 0\nsend s bang"), sent("1.0", "45.0", "35.264393"));
  // 1: 0 ... 360, so a quarter turn the negative way is 270.
  EXPECT_EQ(run("send s modo 1\nsend s bang"), sent("1.0", "270.0", "35.264393"));
  // 2: -180 ... 180.
  EXPECT_EQ(run("send s modo 2\nsend s bang"), sent("1.0", "-90.0", "35.264393"));
  // 1 and 2 give -1 at distance 0.
  EXPECT_EQ(run("send s ponto 0 0 0\nsend s bang"), sent("0.0", "-1.0", "35.264393"));
  EXPECT_EQ(run("send s modo 1\nsend s bang"), sent("0.0", "-1.0", "35.264393"));
  // Outside 0 ... 3 is 3.
  for (const char* m : {"7", "-1", "65536"}) {
    EXPECT_EQ(run(std::string("send s modo 0\nsend s modo ") + m + "\nsend s bang"), sent("0.0", "0.0", "90.0")) << m;
  }
  EXPECT_EQ(run("send s modo\nsend s ponto 0 1 0\nsend s bang"), sent("1.0", "0.0", "90.0"));
}

TEST_F(SightLineTest, ResetKeepsTheValueBuffer) {
  run("new s ko-sightline\nsend s ponto 3 4 5 1 1 1\nsend s modo 3\nsend s bang");
  EXPECT_EQ(run("send s reset\nsend s bang"), sent("0.0", "0.0", "0.0"));
  // A short list takes the rest from the buffer: the point (6, 8, 7).
  EXPECT_EQ(run("send s ponto 9 8 7\nsend s reset\nsend s modo 2\nsend s ponto 6\nsend s bang"),
            sent("6.0", "40.60129", "0.0"));
}

TEST_F(SightLineTest, AssistTextsAreMacRomanBytes) {
  EXPECT_EQ(run("new s ko-sightline\nassist s inlet 2\nassist s outlet 0\nassist s outlet 1\nassist s outlet 2\n"
                "assist s outlet 3"),
            "assist s inlet 2: bang, comandos\n"
            "assist s outlet 0: (dist\\x89ncia)\n"
            "assist s outlet 1: (\\x89ngulo)\n"
            "assist s outlet 2: (eleva\\x8D\\x8Bo)\n"
            "assist s outlet 3:\n");
}

}  // namespace
