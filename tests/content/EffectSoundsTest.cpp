// The synthesised effects and the builders' solids, checked on their own: loops that join
// without a click, gusts that rise from silence and die away, skate pushes in step with the
// stride, and solids whose faces look outward.
#include "content/EffectSounds.h"
#include "content/Mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace nuv {
namespace {

double Rms(const std::vector<float>& s, size_t from, size_t count) {
    double sum = 0.0;
    for (size_t i = from; i < from + count && i < s.size(); ++i) sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(count));
}

// The typical step between neighbouring samples.
double MeanStep(const std::vector<float>& s) {
    double sum = 0.0;
    for (size_t i = 1; i < s.size(); ++i) sum += std::fabs(double(s[i]) - s[i - 1]);
    return sum / double(s.size() - 1);
}

TEST(EffectSounds, LoopsJoinWithoutAClickAndStayInRange) {
    const EffectSounds effects(0xEFFEu);
    for (const std::vector<float>& loop : {effects.Fire(6.0), effects.Skates(1.6), effects.Bells(10.8)}) {
        ASSERT_GT(loop.size(), size_t(EffectSounds::kSampleRate));
        const float peak = *std::max_element(loop.begin(), loop.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); });
        EXPECT_LE(std::fabs(peak), 0.8f + 1e-6f);
        EXPECT_GT(Rms(loop, 0, loop.size()), 0.02);
        // From the last sample back to the first is no bigger a step than the sound makes anyway.
        EXPECT_LT(std::fabs(double(loop.front()) - loop.back()), 8.0 * MeanStep(loop));
    }
}

TEST(EffectSounds, GustsRiseFromSilenceAndDieAway) {
    const EffectSounds effects(0xEFFEu);
    for (int variant : {0, 1}) {
        const std::vector<float> gust = effects.Gust(6.0, variant);
        const size_t edge = EffectSounds::kSampleRate / 50;  // 20 ms
        const double loudest = Rms(gust, gust.size() / 3, EffectSounds::kSampleRate / 2);
        EXPECT_GT(loudest, 0.05) << variant;
        EXPECT_LT(Rms(gust, 0, edge), loudest * 0.1) << variant;
        EXPECT_LT(Rms(gust, gust.size() - edge, edge), loudest * 0.1) << variant;
    }
    EXPECT_NE(effects.Gust(6.0, 0), effects.Gust(6.0, 1));
}

TEST(EffectSounds, SkatesPushTwicePerStride) {
    const double stride = 1.6;
    const std::vector<float> skates = EffectSounds(7u).Skates(stride);
    // Loudness in 20 ms windows; a push is where it climbs through 60 % of the loudest (the
    // loop wraps, so the window before the first is the last).
    const size_t window = EffectSounds::kSampleRate / 50;
    std::vector<double> level;
    for (size_t at = 0; at + window <= skates.size(); at += window) level.push_back(Rms(skates, at, window));
    const double threshold = 0.6 * *std::max_element(level.begin(), level.end());
    int pushes = 0;
    for (size_t i = 0; i < level.size(); ++i)
        pushes += level[(i + level.size() - 1) % level.size()] < threshold && level[i] >= threshold;
    EXPECT_EQ(pushes, 4);  // two strides
}

TEST(EffectSounds, TheSameSeedGivesTheSameSamples) {
    EXPECT_EQ(EffectSounds(3u).Fire(2.0), EffectSounds(3u).Fire(2.0));
    EXPECT_NE(EffectSounds(3u).Fire(2.0), EffectSounds(4u).Fire(2.0));
}

// Every triangle's front (clockwise seen from outside) faces away from the solid's axis.
void ExpectOutward(const Mesh& mesh, const Vector3& centre, bool aroundAxis) {
    ASSERT_EQ(mesh.indices.size() % 3, 0u);
    for (size_t t = 0; t < mesh.indices.size(); t += 3) {
        const Vector3 a = mesh.positions[size_t(mesh.indices[t])], b = mesh.positions[size_t(mesh.indices[t + 1])];
        const Vector3 c = mesh.positions[size_t(mesh.indices[t + 2])];
        const Vector3 n = Cross(b - a, c - a);
        if (Dot(n, n) < 1e-12f) continue;  // a sliver at a pole
        Vector3 out = (a + b + c) / 3.0f - centre;
        if (aroundAxis && std::fabs(n.y) < 0.9f * std::sqrt(Dot(n, n))) out.y = 0.0f;
        ASSERT_GT(Dot(n, out), 0.0f) << "triangle " << t / 3;
    }
}

TEST(Mesh, SolidsFaceOutward) {
    Mesh ball;
    ball.Ellipsoid({1, 2, 3}, {0.5f, 0.8f, 0.5f}, 6, 10);
    ExpectOutward(ball, {1, 2, 3}, false);
    Mesh tube;
    tube.Tube({0, 0, 0}, {0, 2, 0}, 0.3f, 0.2f, 8);
    ExpectOutward(tube, {0, 1, 0}, true);
    EXPECT_EQ(tube.uvs.size(), tube.positions.size());
    tube.FillSecondSet();
    EXPECT_EQ(tube.uvs2.size(), tube.positions.size());
}

} // namespace
} // namespace nuv
