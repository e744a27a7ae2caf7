#include "scene/ParticleSystem.h"

#include "core/ColorBuffer.h"
#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/IntBuffer.h"
#include "core/LinkVisitor.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "core/Vector3Buffer.h"
#include "scene/PointEmitter.h"
#include "scene/RuntimeBuffersDetached.h"

#include <cmath>
#include <cstdlib>
#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(ParticleSystem, GeometryNode)

namespace {

float NotNegative(float value) {
    return value >= 0.0f ? value : 0.0f;  // NaN becomes 0 as well
}

Color NotNegative(const Color& c) {
    return {NotNegative(c.r), NotNegative(c.g), NotNegative(c.b), NotNegative(c.a)};
}

Vector3 NotNegative(const Vector3& v) {
    return {NotNegative(v.x), NotNegative(v.y), NotNegative(v.z)};
}

// Gravity and wind point any way; only values that are not numbers are dropped.
float Finite(float value) {
    return std::isfinite(value) ? value : 0.0f;
}

} // namespace

ParticleSystem::ParticleSystem() {
    Pointer<PointEmitter> emitter = new (std::nothrow) PointEmitter();
    if (!emitter) LogError("Недостаточно памяти для создания эмиттера.");
    SetEmitter(emitter.Get());
}

ParticleSystem::~ParticleSystem() {
    if (auto* point = DynamicCast<PointEmitter>(emitter_.Get()); point && point->GetOwner() == this)
        point->SetOwner(nullptr);
}

void ParticleSystem::Reset() {
    live_ = nullptr;
    head_ = 0;
    liveCount_ = 0;
    madeCount_ = 0;
}

int ParticleSystem::GetFreeCount() const {
    return madeCount_ - liveCount_;
}

void ParticleSystem::SetEmitter(Emitter* emitter) {
    if (emitter_ == emitter) return;
    if (auto* old = DynamicCast<PointEmitter>(emitter_.Get()); old && old->GetOwner() == this) old->SetOwner(nullptr);
    emitter_ = emitter;
    if (auto* point = DynamicCast<PointEmitter>(emitter)) point->SetOwner(this);
}

void ParticleSystem::SetMaxParticles(int32_t count) {
    if (count > kMaxPoolSize) {
        LogWarning("Размер пула частиц %d ограничен до %d. ID[%d] Имя[%s]", count, kMaxPoolSize, GetId(),
                   GetName().GetText());
        count = kMaxPoolSize;
    }
    maxParticles_ = count > 0 ? count : 0;
    Reset();
    if (capacity_ != maxParticles_) {
        pool_.reset();
        capacity_ = 0;
        if (maxParticles_ > 0) {
            pool_.reset(new (std::nothrow) Particle[size_t(maxParticles_)]);
            if (pool_) capacity_ = maxParticles_;
            else LogError("Недостаточно памяти для создания частицы. ID[%d] Имя[%s]", GetId(), GetName().GetText());
        }
    }
    AllocateBuffers();
}

void ParticleSystem::UpdateWorld(double dt) {
    GeometryNode::UpdateWorld(dt);
    Simulate(float(dt));
}

void ParticleSystem::Simulate(float dt) {
    // Along the list, which runs through the pool's ring in order. The newest particles rarely
    // die and stay where they are; from the first death on, each survivor moves up over the
    // records of the dead, so the free records gather behind the oldest, where the ring goes
    // on to the place of the next newest.
    Particle* last = nullptr;
    int32_t write = head_, survivors = 0;
    for (int32_t i = 0, read = head_; i < liveCount_; ++i, read = read + 1 < capacity_ ? read + 1 : 0) {
        Particle* p = &pool_[size_t(read)];
        p->age += dt;
        if (p->age > p->lifetime) continue;  // its record joins the free ones
        const float t = p->age / p->lifetime;
        p->velocity += p->acceleration * dt;
        p->position += p->velocity * dt;
        p->size = p->startSize + (p->endSize - p->startSize) * t;
        p->color = p->startColor + (p->endColor - p->startColor) * t;
        if (write != read) pool_[size_t(write)] = *p;
        Particle* kept = &pool_[size_t(write)];
        if (last) last->next = kept;
        last = kept;
        ++survivors;
        write = write + 1 < capacity_ ? write + 1 : 0;
    }
    if (last) last->next = nullptr;
    liveCount_ = survivors;
    live_ = survivors > 0 ? &pool_[size_t(head_)] : nullptr;
    if (emissionPaused_) return;

    emissionTimer_ += dt;
    int bursts = 0;
    while (emissionTimer_ > nextInterval_) {
        if (++bursts > kMaxBurstsPerUpdate) {
            emissionTimer_ = 0.0f;
            break;
        }
        emissionTimer_ -= nextInterval_;
        nextInterval_ = Emitter::Vary(emissionPeriod, emissionPeriodVariance);
        // In 64 bits: counts from a file may be near the int32 limits.
        const int64_t v = burstSizeVariance;
        const int64_t d = 2 * v > 0 ? int64_t(Emitter::Rand()) % (2 * v) : 0;
        const int64_t target = int64_t(liveCount_) + burstSize + d - v;
        // Up to the records there are (fewer than the maximum when the pool could not be made).
        while (liveCount_ < target && liveCount_ < capacity_) Spawn();
    }
}

void ParticleSystem::Spawn() {
    // The newest goes in front of the live run: a free record reused, or one more made.
    if (liveCount_ >= capacity_) return;
    head_ = head_ > 0 ? head_ - 1 : capacity_ - 1;
    Particle* p = &pool_[size_t(head_)];
    *p = Particle();
    if (madeCount_ <= liveCount_) madeCount_ = liveCount_ + 1;
    p->next = live_;
    live_ = p;
    ++liveCount_;

    Vector3 direction;
    if (emitter_) {
        emitter_->Emit(p->position, direction);
    } else {
        p->position = Vector3();
    }
    p->velocity = direction * Emitter::Vary(speed, speedVariance);
    Vector3 offset;
    offset.y = Emitter::Vary(acceleration.y, accelerationVariance.y);
    offset.x = Emitter::Vary(acceleration.x, accelerationVariance.x);
    offset.z = Emitter::Vary(acceleration.z, accelerationVariance.z);
    p->acceleration = offset;
    p->age = 0.0f;
    p->startColor.b = Emitter::Vary(startColor.b, startColorVariance.b);
    p->startColor.g = Emitter::Vary(startColor.g, startColorVariance.g);
    p->startColor.r = Emitter::Vary(startColor.r, startColorVariance.r);
    p->startColor.a = Emitter::Vary(startColor.a, startColorVariance.a);
    p->color = p->startColor;
    p->endColor.b = Emitter::Vary(endColor.b, endColorVariance.b);
    p->endColor.g = Emitter::Vary(endColor.g, endColorVariance.g);
    p->endColor.r = Emitter::Vary(endColor.r, endColorVariance.r);
    p->endColor.a = Emitter::Vary(endColor.a, endColorVariance.a);
    p->startSize = Emitter::Vary(startSize, startSizeVariance);
    p->endSize = Emitter::Vary(endSize, endSizeVariance);
    p->size = p->startSize;
    p->lifetime = Emitter::Vary(lifetime, lifetimeVariance);
}

Object* ParticleSystem::FindByName(const String& name) {
    if (Object* found = GeometryNode::FindByName(name)) return found;
    return emitter_ ? emitter_->FindByName(name) : nullptr;
}

void ParticleSystem::CollectByType(const Rtti& type, Array<Object*>& found) {
    GeometryNode::CollectByType(type, found);
    if (emitter_) emitter_->CollectByType(type, found);
}

int ParticleSystem::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    {
        RuntimeBuffersDetached detached(*this);
        if (!out.Follow(GeometryNode::Save(stream))) return out.GetStatus();
    }
    out.Int(maxParticles_)
        .Float(emissionPeriod)
        .Float(emissionPeriodVariance)
        .Int(burstSize)
        .Int(burstSizeVariance)
        .Color(startColor)
        .Color(startColorVariance)
        .Color(endColor)
        .Color(endColorVariance)
        .Float(speed)
        .Float(speedVariance)
        .Vector3(acceleration)
        .Vector3(accelerationVariance)
        .Float(lifetime)
        .Float(lifetimeVariance)
        .Float(startSize)
        .Float(startSizeVariance)
        .Float(endSize)
        .Float(endSizeVariance, "Невозможно сохранить данные системы частиц. Имя[%s] ID[%d]")
        .Link(emitter_.Get(), "Невозможно сохранить эмиттер системы частиц. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int ParticleSystem::Load(Stream& stream) {
    FieldReader in(stream, *this);
    int32_t maxParticles = 0;
    in.Follow(GeometryNode::Load(stream))
        .Int(maxParticles)
        .Float(emissionPeriod)
        .Float(emissionPeriodVariance)
        .Int(burstSize)
        .Int(burstSizeVariance)
        .Color(startColor)
        .Color(startColorVariance)
        .Color(endColor)
        .Color(endColorVariance)
        .Float(speed)
        .Float(speedVariance)
        .Vector3(acceleration)
        .Vector3(accelerationVariance)
        .Float(lifetime)
        .Float(lifetimeVariance)
        .Float(startSize)
        .Float(startSizeVariance)
        .Float(endSize)
        .Float(endSizeVariance, "Невозможно загрузить данные системы частиц. Имя[%s] ID[%d]");
    if (!in) return in.GetStatus();
    // Everything but the speed and the acceleration is clamped to 0 from below: a negative speed
    // flies backwards, and the acceleration is gravity and wind, which point down and sideways.
    emissionPeriod = NotNegative(emissionPeriod);
    emissionPeriodVariance = NotNegative(emissionPeriodVariance);
    burstSize = burstSize > 0 ? burstSize : 0;
    burstSizeVariance = burstSizeVariance > 0 ? burstSizeVariance : 0;
    startColor = NotNegative(startColor);
    startColorVariance = NotNegative(startColorVariance);
    endColor = NotNegative(endColor);
    endColorVariance = NotNegative(endColorVariance);
    speedVariance = NotNegative(speedVariance);
    acceleration = Vector3(Finite(acceleration.x), Finite(acceleration.y), Finite(acceleration.z));
    accelerationVariance = NotNegative(accelerationVariance);
    lifetime = NotNegative(lifetime);
    lifetimeVariance = NotNegative(lifetimeVariance);
    startSize = NotNegative(startSize);
    startSizeVariance = NotNegative(startSizeVariance);
    endSize = NotNegative(endSize);
    endSizeVariance = NotNegative(endSizeVariance);
    SetMaxParticles(maxParticles);
    emissionTimer_ = 0.0f;
    nextInterval_ = 0.0f;

    Emitter* emitter = nullptr;
    if (!in.Link(emitter, "Невозможно загрузить эмиттер системы частиц. Имя[%s] ID[%d]")) return in.GetStatus();
    SetEmitter(emitter);
    return kStatusOk;
}

void ParticleSystem::VisitLinks(LinkVisitor& visitor) {
    GeometryNode::VisitLinks(visitor);
    if (visitor.Refuses(*this, emitter_)) SetEmitter(nullptr);
}

} // namespace nuv
