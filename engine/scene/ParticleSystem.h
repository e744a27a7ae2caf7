#pragma once

#include "core/Color.h"
#include "core/Pointer.h"
#include "core/Vector3.h"
#include "scene/GeometryNode.h"

#include <cstdint>
#include <memory>

namespace nuv {

class Emitter;

// A pool of short-lived particles emitted in timed bursts, moved with a constant acceleration
// each and interpolated in colour and size over their lives. Draws nothing itself: subclasses
// turn the live particles into sprites or node copies.
class ParticleSystem : public GeometryNode {
    NUV_DECLARE_OBJECT
public:
    // Pool limit accepted from files and setters; the sprite buffers are sized by it (six
    // vertices a particle without point sprites), so a forged count must not size them.
    static constexpr int32_t kMaxPoolSize = 65536;
    // Bursts one update may fire; a zero or tiny period would otherwise loop without end.
    // The rest of the accumulated time is dropped.
    static constexpr int kMaxBurstsPerUpdate = 10000;

    struct Particle {
        Vector3 position;
        Vector3 velocity;
        Vector3 acceleration;
        Color color;
        Color startColor;
        Color endColor;
        float size = 0.0f;
        float startSize = 0.0f;
        float endSize = 0.0f;
        float lifetime = 0.0f;
        float age = 0.0f;
        Particle* next = nullptr;
    };

    ParticleSystem();
    ~ParticleSystem() override;

    // After the GeometryNode fields (without the runtime buffers): the numbers, then the emitter.
    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    void VisitLinks(LinkVisitor& visitor) override;
    Object* FindByName(const String& name) override;
    void CollectByType(const Rtti& type, Array<Object*>& found) override;

    // Controllers and world transform, then one simulation step.
    void UpdateWorld(double dt) override;
    // The simulation has no picture of its own.
    void Render(Renderer&) override {}
    int GetPrimitiveType() const override { return 0; }

    // Builds the vertex data for the pool; nothing here.
    virtual void AllocateBuffers() {}
    // Frees every particle record of both lists (the pool's memory stays for the next ones).
    virtual void Reset();

    // Emitters derived from PointEmitter take this system as their owner.
    void SetEmitter(Emitter* emitter);
    Emitter* GetEmitter() const { return emitter_.Get(); }
    // Clamped to 0..kMaxPoolSize; the pool and buffers start again.
    void SetMaxParticles(int32_t count);
    int32_t GetMaxParticles() const { return maxParticles_; }
    int32_t GetLiveCount() const { return liveCount_; }
    // Head first: the most recently emitted particle.
    const Particle* GetLiveParticles() const { return live_; }
    // Records kept for reuse.
    int GetFreeCount() const;
    bool IsEmissionPaused() const { return emissionPaused_; }
    void SetEmissionPaused(bool paused) { emissionPaused_ = paused; }
    float GetEmissionTimer() const { return emissionTimer_; }
    float GetNextInterval() const { return nextInterval_; }

    float emissionPeriod = 1.0f;
    float emissionPeriodVariance = 0.0f;
    int32_t burstSize = 10;
    int32_t burstSizeVariance = 0;
    Color startColor{1.0f, 1.0f, 1.0f, 1.0f};
    Color startColorVariance{0.0f, 0.0f, 0.0f, 0.0f};
    Color endColor{1.0f, 1.0f, 1.0f, 0.0f};
    Color endColorVariance{0.0f, 0.0f, 0.0f, 0.0f};
    float speed = 1.0f;
    float speedVariance = 0.0f;
    Vector3 acceleration;
    Vector3 accelerationVariance;
    float lifetime = 5.0f;
    float lifetimeVariance = 0.0f;
    float startSize = 1.0f;
    float startSizeVariance = 0.0f;
    float endSize = 1.0f;
    float endSizeVariance = 0.0f;

protected:
    // Ages and moves the live particles, then fires the bursts that are due.
    void Simulate(float dt);

private:
    void Spawn();

    int32_t maxParticles_ = 0;
    // The records, made once for the pool's size and used as a ring: the live ones follow each
    // other from head_ on, the newest first, so that a pass over the list reads memory in order
    // (the particles are touched every frame, and a list scattered over the heap costs a cache
    // miss a particle).
    std::unique_ptr<Particle[]> pool_;
    int32_t capacity_ = 0;
    int32_t head_ = 0;
    Particle* live_ = nullptr;
    int32_t liveCount_ = 0;
    int32_t madeCount_ = 0;  // records handed out since the last reset: the live and the free
    float emissionTimer_ = 0.0f;
    float nextInterval_ = 0.0f;
    Pointer<Emitter> emitter_;
    bool emissionPaused_ = false;
};

} // namespace nuv
