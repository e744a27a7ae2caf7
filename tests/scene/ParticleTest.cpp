// Particle simulation: burst timing, lifetimes, motion, the pool limit, the order of the random
// draws, emitters, the file layout with its clamps, hostile numbers, and the sprite and node
// forms drawn through a recording renderer.
#include "../core/TestSupport.h"
#include "../render/RecordingRenderer.h"

#include "core/ColorBuffer.h"
#include "core/FloatBuffer.h"
#include "core/IntBuffer.h"
#include "core/Stream.h"
#include "core/Vector2Buffer.h"
#include "core/Vector3Buffer.h"
#include "media/ModuleManager.h"
#include "render/ColorEffect.h"
#include "render/SpriteEffect.h"
#include "scene/Camera.h"
#include "scene/NodeParticleSystem.h"
#include "scene/Points.h"
#include "scene/PointEmitter.h"
#include "scene/SphereVolumeEmitter.h"
#include "scene/SpriteParticleSystem.h"
#include "scene/Triangles.h"
#include "scene/TrianglesEmitter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace nuv {
namespace {

using test::Loaded;
using test::Saved;

// A recording renderer that also keeps the primitive counts drawn without indices.
class CountingRenderer : public test::RecordingRenderer {
public:
    void DrawPrimitives(int count) override {
        drawn.push_back(count);
        Note("drawPrimitives:" + std::to_string(count));
    }
    // The tint of a colour-effect geometry at each indexed draw.
    void DrawIndexed() override {
        RecordingRenderer::DrawIndexed();
        if (GeometryNode* geometry = GetCurrentGeometry())
            if (auto* effect = DynamicCast<ColorEffect>(geometry->GetEffect())) tints.push_back(effect->GetColor());
    }
    std::vector<int> drawn;
    std::vector<Color> tints;
};

// Makes a counting renderer current through a module, as the host does, with or without
// point sprites.
struct CurrentRenderer {
    static inline bool pointSprites = true;
    static int Create(Renderer** out) {
        auto* renderer = new CountingRenderer;
        RendererCaps caps;
        caps.textureUnits = 4;
        caps.pointSprites = pointSprites ? 1 : 0;
        renderer->SetDeviceCaps(caps);
        *out = renderer;
        return 0;
    }
    explicit CurrentRenderer(bool sprites) {
        pointSprites = sprites;
        EXPECT_EQ(test::UseTestRenderer("ParticleTestRenderer", &Create), 0);
    }
    ~CurrentRenderer() { ModuleManager::DestroyRenderer(); }
    CountingRenderer& Get() const { return *static_cast<CountingRenderer*>(ModuleManager::GetRenderer()); }
};

bool Contains(const std::vector<uint8_t>& bytes, const char* text) {
    const size_t n = std::strlen(text);
    for (size_t i = 0; i + n <= bytes.size(); ++i)
        if (std::memcmp(bytes.data() + i, text, n) == 0) return true;
    return false;
}

// A system with no randomness: one direction (+Y), fixed values, a long life.
Pointer<ParticleSystem> Plain(int maxParticles, int burst, float period, float lifetime) {
    Pointer<ParticleSystem> system(new ParticleSystem);
    auto* emitter = static_cast<PointEmitter*>(system->GetEmitter());
    emitter->minAngle = emitter->maxAngle = 0.0f;
    system->SetMaxParticles(maxParticles);
    system->burstSize = burst;
    system->emissionPeriod = period;
    system->lifetime = lifetime;
    return system;
}

int CountList(const ParticleSystem& system) {
    int n = 0;
    for (const auto* p = system.GetLiveParticles(); p; p = p->next) ++n;
    return n;
}

TEST(ParticleSystem, BurstsFireWhenTheAccumulatedTimeExceedsTheInterval) {
    Pointer<ParticleSystem> system = Plain(1000, 10, 1.0f, 100.0f);
    // The first step fires at once; 1.0 accumulated does not fire, 1.25 does.
    const int expected[14] = {10, 10, 10, 10, 20, 20, 20, 20, 30, 30, 30, 30, 40, 40};
    for (int step = 0; step < 14; ++step) {
        system->UpdateWorld(0.25);
        EXPECT_EQ(system->GetLiveCount(), expected[step]) << "after " << 0.25 * (step + 1) << " s";
    }
    EXPECT_EQ(CountList(*system), 40);
    // Paused emission adds nothing; the live particles keep flying.
    system->SetEmissionPaused(true);
    const float y = system->GetLiveParticles()->position.y;
    for (int step = 0; step < 8; ++step) system->UpdateWorld(0.25);
    EXPECT_EQ(system->GetLiveCount(), 40);
    EXPECT_GT(system->GetLiveParticles()->position.y, y);
}

TEST(ParticleSystem, DeathsAnywhereInTheListKeepItWholeInOrderAndEveryRecordItsOwn) {
    // A small pool, lifetimes that vary so particles die out of their birth order, and enough
    // steps for the records to be reused many times over.
    std::srand(321);
    Pointer<ParticleSystem> system = Plain(16, 3, 0.1f, 1.0f);
    system->lifetimeVariance = 0.6f;
    system->startSize = 1.0f;
    system->startSizeVariance = 0.5f;
    system->endSize = 3.0f;
    system->endSizeVariance = 0.5f;
    int seenFull = 0;
    for (int step = 0; step < 400; ++step) {
        system->UpdateWorld(0.05 + 0.01 * (step % 7));
        std::set<const void*> records;
        float age = -1.0f;
        int n = 0;
        for (const auto* p = system->GetLiveParticles(); p && n <= 16; p = p->next, ++n) {
            ASSERT_TRUE(records.insert(p).second) << "a record twice in the list, step " << step;
            // Newest first: the ages never fall along the list.
            ASSERT_GE(p->age, age) << "step " << step;
            age = p->age;
            ASSERT_LE(p->age, p->lifetime);
            // The size follows the particle's own start, end and age: a record mixed up with
            // another's fields would not.
            const float t = p->age / p->lifetime;
            ASSERT_NEAR(p->size, p->startSize + (p->endSize - p->startSize) * t, 1e-4f) << "step " << step;
        }
        ASSERT_EQ(n, system->GetLiveCount()) << "step " << step;
        ASSERT_LE(n, 16);
        ASSERT_LE(system->GetFreeCount() + n, 16) << "more records than the pool holds";
        seenFull += n == 16 ? 1 : 0;
    }
    EXPECT_GT(seenFull, 10) << "the pool was full at times, so every record was in use";
}

TEST(ParticleSystem, AParticleDiesOnlyOnceItsAgeExceedsItsLifetime) {
    Pointer<ParticleSystem> system = Plain(10, 1, 100.0f, 2.0f);
    system->UpdateWorld(0.5);  // born, age 0
    for (int step = 0; step < 4; ++step) system->UpdateWorld(0.5);
    EXPECT_EQ(system->GetLiveCount(), 1) << "age 2 equals the lifetime";
    system->UpdateWorld(0.5);
    EXPECT_EQ(system->GetLiveCount(), 0);
    EXPECT_EQ(system->GetLiveParticles(), nullptr);
    EXPECT_EQ(system->GetFreeCount(), 1);
    // The record is reused, not reallocated.
    system->UpdateWorld(100.0);
    EXPECT_EQ(system->GetLiveCount(), 1);
    EXPECT_EQ(system->GetFreeCount(), 0);
    system->Reset();
    EXPECT_EQ(system->GetLiveCount(), 0);
    EXPECT_EQ(system->GetFreeCount(), 0);
}

TEST(ParticleSystem, ParticlesAccelerateAndBlendColourAndSizeOverTheirLives) {
    Pointer<ParticleSystem> system = Plain(10, 1, 100.0f, 2.0f);
    system->speed = 2.0f;
    system->acceleration = Vector3(3.0f, 0.0f, 0.0f);
    system->startSize = 1.0f;
    system->endSize = 3.0f;
    system->startColor = Color(1.0f, 0.0f, 0.0f, 1.0f);
    system->endColor = Color(0.0f, 0.0f, 1.0f, 0.0f);
    system->GetLocalTransform().SetTranslation(Vector3(5.0f, 0.0f, 0.0f));
    system->UpdateWorld(0.5);
    const auto* p = system->GetLiveParticles();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->position, Vector3(5.0f, 0.0f, 0.0f));
    EXPECT_NEAR(p->velocity.y, 2.0f, 1e-6f);
    system->UpdateWorld(0.5);
    // The new velocity moves the particle: v = (1.5, 2, 0), p += v × 0.5.
    EXPECT_NEAR(p->position.x, 5.75f, 1e-5f);
    EXPECT_NEAR(p->position.y, 1.0f, 1e-5f);
    system->UpdateWorld(0.5);
    EXPECT_NEAR(p->position.x, 7.25f, 1e-5f);
    EXPECT_NEAR(p->position.y, 2.0f, 1e-5f);
    // Age 1 of 2: half way.
    EXPECT_NEAR(p->size, 2.0f, 1e-6f);
    EXPECT_NEAR(p->color.r, 0.5f, 1e-6f);
    EXPECT_NEAR(p->color.b, 0.5f, 1e-6f);
    EXPECT_NEAR(p->color.a, 0.5f, 1e-6f);
}

TEST(ParticleSystem, ThePoolNeverOutgrowsItsLimit) {
    Pointer<ParticleSystem> exact = Plain(15, 10, 1.0f, 100.0f);
    exact->UpdateWorld(0.5);
    exact->UpdateWorld(1.0);
    EXPECT_EQ(exact->GetLiveCount(), 15) << "the second burst stops at the limit";

    std::srand(99);
    Pointer<ParticleSystem> system = Plain(25, 10, 0.1f, 1.0f);
    system->burstSizeVariance = 6;
    system->emissionPeriodVariance = 0.08f;
    system->lifetimeVariance = 0.9f;
    int most = 0;
    for (int step = 0; step < 2000; ++step) {
        system->UpdateWorld(0.013);
        ASSERT_LE(system->GetLiveCount(), 25);
        ASSERT_EQ(CountList(*system), system->GetLiveCount());
        ASSERT_LE(system->GetLiveCount() + system->GetFreeCount(), 25) << "records beyond the pool";
        most = std::max(most, system->GetLiveCount());
    }
    EXPECT_EQ(most, 25);
}

// The draws of one spawn, in the described order, replayed from the same seed.
TEST(ParticleSystem, SpawnDrawsItsRandomValuesInTheDescribedOrder) {
    Pointer<ParticleSystem> system = Plain(1, 1, 1.0f, 5.0f);
    auto* emitter = static_cast<PointEmitter*>(system->GetEmitter());
    emitter->minAngle = 0.2f;
    emitter->maxAngle = 1.2f;
    system->emissionPeriodVariance = 0.5f;
    system->speedVariance = 0.5f;
    system->accelerationVariance = Vector3(1.0f, 2.0f, 3.0f);
    system->startColorVariance = Color(0.1f, 0.2f, 0.3f, 0.4f);
    system->endColorVariance = Color(0.5f, 0.6f, 0.7f, 0.8f);
    system->startSizeVariance = 0.25f;
    system->endSizeVariance = 0.75f;
    system->lifetimeVariance = 1.0f;

    std::srand(4242);
    std::vector<float> u;
    for (int i = 0; i < 20; ++i) u.push_back(Emitter::Unit(Emitter::Rand()));
    auto vary = [&u](int i, float c, float w) { return -w + u[size_t(i)] * (w - -w) + c; };
    std::srand(4242);
    system->UpdateWorld(0.0001);
    const auto* p = system->GetLiveParticles();
    ASSERT_NE(p, nullptr);

    // 0: period; 1, 2: azimuth, polar; 3: speed; 4-6: acceleration y, x, z; 7-10: start b, g, r, a;
    // 11-14: end b, g, r, a; 15, 16: sizes; 17: lifetime.
    EXPECT_FLOAT_EQ(system->GetNextInterval(), vary(0, 1.0f, 0.5f));
    const float polar = 0.2f + u[2] * 1.0f;
    const float azimuth = u[1] * 6.2831855f;
    const float speed = vary(3, 1.0f, 0.5f);
    EXPECT_NEAR(p->velocity.x, std::sin(polar) * std::sin(azimuth) * speed, 1e-5f);
    EXPECT_NEAR(p->velocity.y, std::cos(polar) * speed, 1e-5f);
    EXPECT_NEAR(p->velocity.z, std::sin(polar) * std::cos(azimuth) * speed, 1e-5f);
    EXPECT_FLOAT_EQ(p->acceleration.y, vary(4, 0.0f, 2.0f));
    EXPECT_FLOAT_EQ(p->acceleration.x, vary(5, 0.0f, 1.0f));
    EXPECT_FLOAT_EQ(p->acceleration.z, vary(6, 0.0f, 3.0f));
    EXPECT_FLOAT_EQ(p->startColor.b, vary(7, 1.0f, 0.3f));
    EXPECT_FLOAT_EQ(p->startColor.g, vary(8, 1.0f, 0.2f));
    EXPECT_FLOAT_EQ(p->startColor.r, vary(9, 1.0f, 0.1f));
    EXPECT_FLOAT_EQ(p->startColor.a, vary(10, 1.0f, 0.4f));
    EXPECT_FLOAT_EQ(p->endColor.b, vary(11, 1.0f, 0.7f));
    EXPECT_FLOAT_EQ(p->endColor.g, vary(12, 1.0f, 0.6f));
    EXPECT_FLOAT_EQ(p->endColor.r, vary(13, 1.0f, 0.5f));
    EXPECT_FLOAT_EQ(p->endColor.a, vary(14, 0.0f, 0.8f));
    EXPECT_FLOAT_EQ(p->startSize, vary(15, 1.0f, 0.25f));
    EXPECT_FLOAT_EQ(p->endSize, vary(16, 1.0f, 0.75f));
    EXPECT_FLOAT_EQ(p->lifetime, vary(17, 5.0f, 1.0f));
    EXPECT_EQ(p->color, p->startColor);
}

TEST(Emitter, DirectionsFollowTheAnglesAndTheOwnersTurn) {
    Pointer<ParticleSystem> system = Plain(1, 1, 1.0f, 1.0f);
    auto* emitter = static_cast<PointEmitter*>(system->GetEmitter());
    EXPECT_EQ(emitter->GetOwner(), system.Get());
    // A quarter turn about z carries +Y onto -X or +X; either way the direction is unit length
    // and has left the y axis.
    system->GetLocalTransform().SetRotation(Quaternion(0.0f, 0.0f, 0.70710677f, 0.70710677f));
    system->GetLocalTransform().SetScale(Vector3(3.0f, 3.0f, 3.0f));
    system->ComputeWorldTransform();
    Vector3 position, direction;
    emitter->Emit(position, direction);
    EXPECT_NEAR(std::fabs(direction.x), 1.0f, 1e-5f);
    EXPECT_NEAR(direction.y, 0.0f, 1e-5f);

    // A cone of 0.3 rad around +Y without an owner.
    PointEmitter cone;
    cone.minAngle = 0.0f;
    cone.maxAngle = 0.3f;
    for (int i = 0; i < 200; ++i) {
        cone.Emit(position, direction);
        EXPECT_EQ(position, Vector3());
        EXPECT_GE(direction.y, std::cos(0.3f) - 1e-5f);
        EXPECT_NEAR(direction.Length(), 1.0f, 1e-5f);
    }
}

TEST(Emitter, SphereVolumeStartsWithinTheRadiusAroundTheOwner) {
    Pointer<ParticleSystem> system(new ParticleSystem);
    Pointer<SphereVolumeEmitter> sphere(new SphereVolumeEmitter);
    sphere->radius = 4.0f;
    system->SetEmitter(sphere.Get());
    EXPECT_EQ(sphere->GetOwner(), system.Get());
    system->GetLocalTransform().SetTranslation(Vector3(10.0f, 20.0f, 30.0f));
    system->ComputeWorldTransform();
    std::set<float> distances;
    for (int i = 0; i < 500; ++i) {
        Vector3 position, direction;
        sphere->Emit(position, direction);
        const float d = Distance(position, Vector3(10.0f, 20.0f, 30.0f));
        EXPECT_LE(d, 4.0f * 0.9999f + 1e-4f);
        // Distances come in steps of radius / 10000.
        const float steps = d / 4.0f * 10000.0f;
        EXPECT_NEAR(steps, std::round(steps), 0.05f);
        distances.insert(d);
    }
    EXPECT_GT(distances.size(), 400u);
}

TEST(Emitter, TrianglesEmitterSpawnsOnTheSourceSurface) {
    Pointer<Triangles> mesh(new Triangles);
    Pointer<Vector3Buffer> corners(new Vector3Buffer(6));
    const Vector3 points[6] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}, {6, 5, 5}, {5, 6, 5}};
    for (int i = 0; i < 6; ++i) corners->GetElements()[i] = points[i];
    mesh->SetVertices(corners.Get());
    mesh->GetLocalTransform().SetTranslation(Vector3(0.0f, 0.0f, 100.0f));
    mesh->ComputeWorldTransform();
    TrianglesEmitter emitter;
    Vector3 position, direction;
    emitter.Emit(position, direction);
    EXPECT_EQ(position, Vector3());
    EXPECT_EQ(direction, Vector3(0.0f, -1.0f, 0.0f));

    // Fewer than three indices: triangle 0 without a draw for it, then 3 + 2 draws.
    emitter.SetSource(mesh.Get());
    std::srand(5);
    for (int i = 0; i < 5; ++i) std::rand();
    const int after = std::rand();
    std::srand(5);
    emitter.Emit(position, direction);
    EXPECT_EQ(std::rand(), after);
    EXPECT_NEAR(position.z, 100.0f, 1e-4f);
    EXPECT_GE(position.x, -1e-5f);
    EXPECT_GE(position.y, -1e-5f);
    EXPECT_LE(position.x + position.y, 1.0f + 1e-5f);

    // With indices, either triangle; always on one of them.
    Pointer<IntBuffer> indices(new IntBuffer(6));
    for (int i = 0; i < 6; ++i) indices->GetElements()[i] = i;
    mesh->SetIndices(indices.Get());
    int second = 0;
    for (int i = 0; i < 200; ++i) {
        emitter.Emit(position, direction);
        const bool far = position.x >= 5.0f - 1e-4f;
        second += far;
        const Vector3 local = position - Vector3(far ? 5.0f : 0.0f, far ? 5.0f : 0.0f, far ? 105.0f : 100.0f);
        EXPECT_NEAR(local.z, 0.0f, 1e-4f);
        EXPECT_LE(local.x + local.y, 1.0f + 1e-4f);
        EXPECT_NEAR(direction.Length(), 1.0f, 1e-5f);
    }
    EXPECT_GT(second, 50);
    EXPECT_LT(second, 150);
    // More triangles in the indices than positions behind them: still inside the positions.
    Pointer<IntBuffer> many(new IntBuffer(300));
    mesh->SetIndices(many.Get());
    for (int i = 0; i < 200; ++i) emitter.Emit(position, direction);
}

TEST(ParticleSystemFile, RoundTripKeepsTheNumbersAndTheEmitterButNoBuffers) {
    CurrentRenderer current(true);
    Pointer<SpriteParticleSystem> system(new SpriteParticleSystem);
    system->SetName("Snow");
    system->SetMaxParticles(300);
    system->emissionPeriod = 0.5f;
    system->emissionPeriodVariance = 0.25f;
    system->burstSize = 7;
    system->burstSizeVariance = 3;
    system->startColor = Color(0.1f, 0.2f, 0.3f, 0.4f);
    system->endColorVariance = Color(0.5f, 0.6f, 0.7f, 0.8f);
    system->speed = -2.0f;
    system->acceleration = Vector3(1.0f, 2.0f, 3.0f);
    system->lifetime = 9.0f;
    system->endSize = 0.125f;
    Pointer<SphereVolumeEmitter> sphere(new SphereVolumeEmitter);
    sphere->radius = 33.0f;
    sphere->minAngle = 0.5f;
    sphere->maxAngle = 1.5f;
    system->SetEmitter(sphere.Get());
    system->UpdateWorld(0.1);
    Buffer* vertices = system->GetVertices();
    ASSERT_NE(vertices, nullptr);

    const auto bytes = Saved(system.Get());
    EXPECT_FALSE(Contains(bytes, "Nuv.Vector3Buffer"));
    EXPECT_FALSE(Contains(bytes, "Nuv.ColorBuffer"));
    EXPECT_FALSE(Contains(bytes, "Nuv.Vector2Buffer"));
    EXPECT_EQ(system->GetVertices(), vertices) << "the buffers go back after saving";

    Pointer<SpriteParticleSystem> loaded = Loaded<SpriteParticleSystem>(bytes);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->GetMaxParticles(), 300);
    EXPECT_EQ(loaded->emissionPeriod, 0.5f);
    EXPECT_EQ(loaded->emissionPeriodVariance, 0.25f);
    EXPECT_EQ(loaded->burstSize, 7);
    EXPECT_EQ(loaded->burstSizeVariance, 3);
    EXPECT_EQ(loaded->startColor, system->startColor);
    EXPECT_EQ(loaded->endColorVariance, system->endColorVariance);
    EXPECT_EQ(loaded->speed, -2.0f) << "the speed alone may be negative";
    EXPECT_EQ(loaded->acceleration, system->acceleration);
    EXPECT_EQ(loaded->lifetime, 9.0f);
    EXPECT_EQ(loaded->endSize, 0.125f);
    EXPECT_EQ(loaded->GetLiveCount(), 0);
    auto* emitter = DynamicCast<SphereVolumeEmitter>(loaded->GetEmitter());
    ASSERT_NE(emitter, nullptr);
    EXPECT_EQ(emitter->radius, 33.0f);
    EXPECT_EQ(emitter->minAngle, 0.5f);
    EXPECT_EQ(emitter->maxAngle, 1.5f);
    EXPECT_EQ(emitter->GetOwner(), loaded.Get());
    ASSERT_NE(loaded->GetVertices(), nullptr);
    EXPECT_EQ(loaded->GetVertices()->GetCount(), 300) << "sprite buffers made on loading";
    ASSERT_NE(loaded->GetEffect(), nullptr);
    EXPECT_TRUE(loaded->GetEffect()->IsDerived(SpriteEffect::TYPE));
}

// The same saved system loaded twice and pre-run for 30 s from one seed ends the same.
TEST(ParticleSystemFile, PreRunFromOneSeedGivesTheSameStateTwice) {
    Pointer<ParticleSystem> snow(new ParticleSystem);
    snow->SetMaxParticles(500);
    snow->burstSize = 20;
    snow->burstSizeVariance = 10;
    snow->emissionPeriod = 0.2f;
    snow->emissionPeriodVariance = 0.1f;
    snow->speedVariance = 0.5f;
    snow->acceleration = Vector3(0.3f, 0.0f, 0.1f);
    snow->accelerationVariance = Vector3(0.2f, 0.2f, 0.2f);
    snow->lifetime = 6.0f;
    snow->lifetimeVariance = 3.0f;
    snow->startSizeVariance = 0.5f;
    Pointer<SphereVolumeEmitter> sphere(new SphereVolumeEmitter);
    snow->SetEmitter(sphere.Get());
    const auto bytes = Saved(snow.Get());

    auto run = [&bytes](unsigned seed) {
        Pointer<ParticleSystem> system = Loaded<ParticleSystem>(bytes);
        EXPECT_TRUE(system);
        std::srand(seed);
        system->Reset();
        for (double t = 0.0; t < 30.0; t += 0.01) system->UpdateTree(0.01, true);
        std::vector<float> state;
        for (const auto* p = system->GetLiveParticles(); p; p = p->next)
            for (float v : {p->position.x, p->position.y, p->position.z, p->velocity.x, p->size, p->color.a,
                            p->lifetime, p->age})
                state.push_back(v);
        return state;
    };
    const auto first = run(77);
    EXPECT_GT(first.size(), 100u * 8);
    EXPECT_EQ(run(77), first);
    EXPECT_NE(run(78), first);
}

// Builds the file of a ParticleSystem with the given numeric block (maxParticles, period,
// burst, burst variance, lifetime) and every other value negative.
std::vector<uint8_t> HostileFile(int32_t maxParticles, float period, int32_t burst, int32_t burstVariance,
                                 float lifetime) {
    Pointer<ParticleSystem> system(new ParticleSystem);
    system->SetMaxParticles(1);
    system->emissionPeriod = -0.5f;  // placeholders, patched below
    auto bytes = Saved(system.Get());
    // The numbers follow the GeometryNode fields: find them by the placeholder period.
    float marker = -0.5f;
    size_t at = 0;
    for (size_t i = 0; i + 4 <= bytes.size(); ++i)
        if (std::memcmp(bytes.data() + i, &marker, 4) == 0) at = i;
    EXPECT_GT(at, 4u);
    auto put = [&bytes](size_t offset, const void* value) { std::memcpy(bytes.data() + offset, value, 4); };
    put(at - 4, &maxParticles);
    put(at, &period);
    const float negative = -3.0f;
    put(at + 4, &negative);         // period variance
    put(at + 8, &burst);
    put(at + 12, &burstVariance);
    for (int i = 0; i < 16; ++i) put(at + 16 + 4 * size_t(i), &negative);  // four colours
    put(at + 84, &negative);        // speed variance (the speed stays as saved)
    for (int i = 0; i < 6; ++i) put(at + 88 + 4 * size_t(i), &negative);  // acceleration and variance
    put(at + 112, &lifetime);
    for (int i = 0; i < 5; ++i) put(at + 116 + 4 * size_t(i), &negative);
    return bytes;
}

TEST(ParticleSystemFile, HostileNumbersAreClampedAndBounded) {
    test::LogRecorder log;
    {
        Pointer<ParticleSystem> system = Loaded<ParticleSystem>(HostileFile(-5, 1.0f, 10, 0, 1.0f));
        ASSERT_TRUE(system);
        EXPECT_EQ(system->GetMaxParticles(), 0);
        EXPECT_EQ(system->emissionPeriodVariance, 0.0f);
        EXPECT_EQ(system->startColor, Color(0, 0, 0, 0));
        EXPECT_EQ(system->acceleration, Vector3(-3.0f, -3.0f, -3.0f)) << "gravity and wind keep their sign";
        EXPECT_EQ(system->accelerationVariance, Vector3());
        EXPECT_EQ(system->speedVariance, 0.0f);
        EXPECT_EQ(system->endSizeVariance, 0.0f);
        system->UpdateWorld(1.0);
        EXPECT_EQ(system->GetLiveCount(), 0) << "an empty pool emits nothing";
    }
    {
        // A zero period would fire for ever; huge bursts and pools are capped.
        Pointer<ParticleSystem> system =
            Loaded<ParticleSystem>(HostileFile(INT32_MAX, 0.0f, INT32_MAX, INT32_MAX, 0.0f));
        ASSERT_TRUE(system);
        EXPECT_EQ(system->GetMaxParticles(), ParticleSystem::kMaxPoolSize);
        system->UpdateWorld(0.01);
        EXPECT_LE(system->GetLiveCount(), ParticleSystem::kMaxPoolSize);
        EXPECT_EQ(system->GetEmissionTimer(), 0.0f) << "the backlog is dropped after the burst bound";
        system->UpdateWorld(0.01);
        EXPECT_LE(system->GetLiveCount(), ParticleSystem::kMaxPoolSize);
    }
    {
        Pointer<ParticleSystem> system = Loaded<ParticleSystem>(HostileFile(100, NAN, -7, -7, NAN));
        ASSERT_TRUE(system);
        EXPECT_EQ(system->emissionPeriod, 0.0f);
        EXPECT_EQ(system->burstSize, 0);
        EXPECT_EQ(system->lifetime, 0.0f);
        for (int i = 0; i < 10; ++i) system->UpdateWorld(1e30);
        EXPECT_LE(system->GetLiveCount(), 100);
    }
    EXPECT_TRUE(log.ContainsText("ограничен до 65536"));
}

// Snow saved with gravity, loaded back and left to fall: over a few simulated seconds the
// flakes' mean height goes down, by about what the gravity gives.
TEST(ParticleSystemFile, LoadedGravityPullsTheParticlesDown) {
    Pointer<ParticleSystem> snow(new ParticleSystem);
    snow->SetMaxParticles(400);
    snow->emissionPeriod = 0.1f;
    snow->burstSize = 10;
    snow->speed = 0.0f;
    snow->acceleration = Vector3(0.15f, -0.9f, 0.05f);
    snow->accelerationVariance = Vector3(0.2f, 0.2f, 0.2f);
    snow->lifetime = 60.0f;
    Pointer<ParticleSystem> loaded = Loaded<ParticleSystem>(Saved(snow.Get()));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->acceleration, snow->acceleration);
    auto meanHeight = [](ParticleSystem& system) {
        double sum = 0;
        int n = 0;
        for (const ParticleSystem::Particle* p = system.GetLiveParticles(); p; p = p->next, ++n) sum += p->position.y;
        return n > 0 ? sum / n : 0.0;
    };
    std::srand(5);
    loaded->UpdateWorld(0.01);  // the first burst, at the emitter
    const int born = loaded->GetLiveCount();
    ASSERT_GT(born, 0);
    loaded->SetEmissionPaused(true);
    for (int i = 0; i < 300; ++i) loaded->UpdateWorld(0.01);
    EXPECT_EQ(loaded->GetLiveCount(), born);
    // 3 s under 0.9 units/s^2: about 4 units down (the variance moves single flakes only).
    EXPECT_LT(meanHeight(*loaded), -3.0);
    EXPECT_GT(meanHeight(*loaded), -5.5);
}

TEST(ParticleSystemFile, EmitterAnglesAreOrderedOnLoading) {
    auto loadAngles = [](float maxAngle, float minAngle) {
        PointEmitter emitter;
        emitter.maxAngle = maxAngle;
        emitter.minAngle = minAngle;
        return Loaded<PointEmitter>(Saved(&emitter));
    };
    Pointer<PointEmitter> a = loadAngles(-1.0f, 2.0f);
    EXPECT_EQ(a->maxAngle, 2.0f);
    EXPECT_EQ(a->minAngle, 2.0f);
    Pointer<PointEmitter> b = loadAngles(1.0f, -1.0f);
    EXPECT_EQ(b->maxAngle, 1.0f);
    EXPECT_EQ(b->minAngle, 0.0f);
    Pointer<PointEmitter> c = loadAngles(NAN, NAN);
    EXPECT_EQ(c->maxAngle, 0.0f);
    EXPECT_EQ(c->minAngle, 0.0f);
    // A failed read is reported.
    test::LogRecorder log;
    auto bytes = Saved(a.Get());
    bytes.resize(bytes.size() - 2);
    EXPECT_FALSE(Loaded<PointEmitter>(bytes));
    EXPECT_TRUE(log.ContainsText("Невозможно загрузить данные системы частиц."));
}

TEST(SpriteParticleSystem, PointSpritesCarryOneVertexPerParticle) {
    CurrentRenderer current(true);
    Pointer<SpriteParticleSystem> system(new SpriteParticleSystem);
    EXPECT_EQ(system->GetPrimitiveType(), 0);
    system->SetMaxParticles(0);
    EXPECT_EQ(system->GetVertices(), nullptr) << "no buffers for an empty pool";
    system->SetMaxParticles(50);
    system->burstSize = 12;
    system->emissionPeriod = 100.0f;
    system->startSize = 0.5f;
    system->endSize = 0.5f;
    ASSERT_NE(system->GetVertices(), nullptr);
    EXPECT_EQ(system->GetVertices()->GetCount(), 50);
    EXPECT_EQ(system->GetPointSizes()->GetCount(), 50);
    EXPECT_EQ(system->GetTexCoords(0)->GetCount(), 50);
    system->UpdateTree(0.1, true);
    EXPECT_EQ(system->GetPrimitiveCount(), 12);
    const Vector3* positions = static_cast<Vector3Buffer*>(system->GetVertices())->GetElements();
    int i = 0;
    for (const auto* p = system->GetLiveParticles(); p; p = p->next, ++i) {
        EXPECT_EQ(positions[i], p->position);
        EXPECT_EQ(system->GetPointSizes()->GetElements()[i], 0.5f);
        EXPECT_EQ(system->GetColors()->GetElements()[i], p->color);
    }
    EXPECT_TRUE(system->GetVertices()->IsDirty());

    CountingRenderer& renderer = current.Get();
    system->CullAndRender(renderer);
    EXPECT_EQ(renderer.drawn, std::vector<int>{12});
    EXPECT_NE(renderer.calls.find("positions sizes colors texcoords"), std::string::npos) << renderer.calls;
}

TEST(SpriteParticleSystem, WithoutPointSpritesEachParticleIsACameraFacingQuad) {
    CurrentRenderer current(false);
    CountingRenderer& renderer = current.Get();
    Pointer<Camera> camera(new Camera);
    renderer.SetCamera(camera.Get());
    Pointer<SpriteParticleSystem> system(new SpriteParticleSystem);
    EXPECT_EQ(system->GetPrimitiveType(), 3);
    system->SetMaxParticles(10);
    system->burstSize = 3;
    system->emissionPeriod = 100.0f;
    system->startSize = system->endSize = 2.0f;
    system->GetLocalTransform().SetTranslation(Vector3(0.0f, 0.0f, 20.0f));
    ASSERT_EQ(system->GetVertices()->GetCount(), 60);
    const Vector2* uv = static_cast<Vector2Buffer*>(system->GetTexCoords(0))->GetElements();
    EXPECT_EQ(uv[6 + 2].x, 1.0f);
    EXPECT_EQ(uv[6 + 2].y, 1.0f);
    EXPECT_EQ(uv[6 + 4].x, 1.0f);
    EXPECT_EQ(uv[6 + 4].y, 0.0f);
    system->UpdateTree(0.01, true);
    EXPECT_EQ(system->GetPrimitiveCount(), 6);
    // Camera at rest: up +Y, right +X; the corners lie size × 0.5 along the diagonals.
    const Vector3* v = static_cast<Vector3Buffer*>(system->GetVertices())->GetElements();
    int i = 0;
    for (const auto* p = system->GetLiveParticles(); p; p = p->next, ++i) {
        const Vector3 c = p->position;
        const float h = 2.0f * 0.5f / std::sqrt(2.0f);  // the half-diagonal of size 2, per axis
        EXPECT_NEAR(v[6 * i + 0].x, c.x - h, 1e-5f);
        EXPECT_NEAR(v[6 * i + 0].y, c.y - h, 1e-5f);
        EXPECT_NEAR(v[6 * i + 4].x, c.x + h, 1e-5f);
        EXPECT_NEAR(v[6 * i + 4].y, c.y + h, 1e-5f);
        EXPECT_EQ(v[6 * i + 1], v[6 * i + 3]);
        EXPECT_EQ(v[6 * i + 2], v[6 * i + 5]);
        EXPECT_EQ(system->GetColors()->GetElements()[6 * i + 5], p->color);
    }
    system->UpdateBound();
    system->CullAndRender(renderer);
    EXPECT_EQ(renderer.drawn, std::vector<int>{6});
}

// Particles out of the camera's view cover no pixel and are not sent to the device: of a cloud
// round the eye, those behind it never are, those plainly ahead always are.
TEST(SpriteParticleSystem, OnlyParticlesInViewAreDrawn) {
    for (const bool points : {true, false}) {
        SCOPED_TRACE(points ? "point sprites" : "quads");
        CurrentRenderer current(points);
        CountingRenderer& renderer = current.Get();
        Pointer<Camera> camera(new Camera);  // at the origin, looking along +z
        camera->UpdateTree(0.0, false);
        renderer.SetCamera(camera.Get());
        Pointer<SpriteParticleSystem> system(new SpriteParticleSystem);
        Pointer<SphereVolumeEmitter> cloud(new SphereVolumeEmitter);
        cloud->radius = 40.0f;
        system->SetEmitter(cloud.Get());
        system->SetMaxParticles(400);
        system->burstSize = 400;
        system->emissionPeriod = 100.0f;
        system->speed = 0.0f;
        system->startSize = system->endSize = 0.1f;
        system->UpdateTree(0.01, true);
        int live = 0, behind = 0, ahead = 0, aheadBehind = 0;
        for (const auto* p = system->GetLiveParticles(); p; p = p->next) {
            ++live;
            const Vector3& c = p->position;
            behind += c.z < -1.0f;
            ahead += c.z > 1.0f && std::fabs(c.x) < 0.3f * c.z && std::fabs(c.y) < 0.3f * c.z;
            aheadBehind += c.z < -1.0f && std::fabs(c.x) < -0.3f * c.z && std::fabs(c.y) < -0.3f * c.z;
        }
        ASSERT_EQ(live, 400);
        ASSERT_GT(behind, 0);
        ASSERT_GT(ahead, 0);
        system->CullAndRender(renderer);
        ASSERT_EQ(renderer.drawn.size(), 1u);
        const int drawn = points ? renderer.drawn[0] : renderer.drawn[0] / 2;
        EXPECT_GE(drawn, ahead);
        EXPECT_LE(drawn, live - behind);
        // What was drawn is at the front of the buffers, and none of it lies behind the eye.
        const Vector3* v = static_cast<Vector3Buffer*>(system->GetVertices())->GetElements();
        for (int i = 0; i < drawn * (points ? 1 : 6); ++i) EXPECT_GT(v[i].z, -1.5f) << i;

        // A second view in the same frame (a mirror's, say), turned round: it finds its own
        // particles, not those the first view left at the front of the buffers.
        ASSERT_GT(aheadBehind, 0);
        camera->GetLocalTransform().SetRotation(Quaternion::FromAxisAngle(Vector3(0.0f, 1.0f, 0.0f), 3.14159265f));
        camera->UpdateTree(0.0, false);
        system->CullAndRender(renderer);
        ASSERT_EQ(renderer.drawn.size(), 2u);
        const int turned = points ? renderer.drawn[1] : renderer.drawn[1] / 2;
        EXPECT_GE(turned, aheadBehind);
        for (int i = 0; i < turned * (points ? 1 : 6); ++i) EXPECT_LT(v[i].z, 1.5f) << i;
        // As many as that view finds first in a frame of its own (nothing moves in a zero step).
        system->UpdateTree(0.0, true);
        system->CullAndRender(renderer);
        ASSERT_EQ(renderer.drawn.size(), 3u);
        EXPECT_EQ(renderer.drawn[2], renderer.drawn[1]);
    }
}

TEST(NodeParticleSystem, DrawsTheTemplateOncePerParticleAndPutsItBack) {
    CurrentRenderer current(true);
    CountingRenderer& renderer = current.Get();
    Pointer<Points> flake(new Points);
    flake->SetName("flake");
    Pointer<Vector3Buffer> point(new Vector3Buffer(1));
    flake->SetVertices(point.Get());
    Pointer<ColorEffect> effect(new ColorEffect);
    effect->SetColor(Color(0.25f, 0.5f, 0.75f, 1.0f));
    flake->SetEffect(effect.Get());
    flake->GetLocalTransform().SetTranslation(Vector3(7.0f, 7.0f, 7.0f));
    flake->UpdateTree(0.0, false);
    const Transform before = flake->GetWorldTransform();

    Pointer<NodeParticleSystem> system(new NodeParticleSystem);
    system->SetTemplate(flake.Get());
    system->SetTemplate(system.Get());
    EXPECT_EQ(system->GetTemplate(), flake.Get()) << "a node particle system is no template";
    system->SetMaxParticles(20);
    system->burstSize = 5;
    system->emissionPeriod = 100.0f;
    system->startColorVariance = Color(0.5f, 0.5f, 0.5f, 0.0f);
    system->UpdateWorld(0.1);
    system->Render(renderer);
    size_t draws = 0;
    for (size_t at = renderer.calls.find("draw:flake"); at != std::string::npos;
         at = renderer.calls.find("draw:flake", at + 1))
        ++draws;
    EXPECT_EQ(draws, 5u);
    EXPECT_EQ(flake->GetWorldTransform(), before);
    // Each copy takes its particle's colour; the template's own colour comes back.
    std::vector<Color> colours;
    for (const auto* p = system->GetLiveParticles(); p; p = p->next) colours.push_back(p->color);
    EXPECT_EQ(renderer.tints, colours);
    EXPECT_EQ(effect->GetColor(), Color(0.25f, 0.5f, 0.75f, 1.0f));

    // The template goes with the system to the file.
    Pointer<NodeParticleSystem> loaded = Loaded<NodeParticleSystem>(Saved(system.Get()));
    ASSERT_TRUE(loaded);
    ASSERT_NE(loaded->GetTemplate(), nullptr);
    EXPECT_EQ(String(loaded->GetTemplate()->GetName()), String("flake"));
}

} // namespace
} // namespace nuv
