#include "scene/Garland.h"

#include "core/ColorBuffer.h"
#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/FloatBuffer.h"
#include "core/IntBuffer.h"
#include "core/LinkVisitor.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "core/Vector3Buffer.h"
#include "media/ModuleManager.h"
#include "render/Renderer.h"
#include "render/SpriteEffect.h"
#include "scene/Camera.h"
#include "scene/RuntimeBuffersDetached.h"
#include "scene/SphereBoundingVolume.h"
#include "scene/SpriteGeometry.h"

#include <cmath>
#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(Garland, GeometryNode)

namespace {

// Blink steps counted one by one in an update; beyond, the count is divided out, so a tiny
// period from a file cannot stall the frame.
constexpr int kBlinkSteps = 1000;
constexpr int kMaxLamps = 65536;

} // namespace

Garland::Garland() {
    Pointer<SpriteEffect> effect = new (std::nothrow) SpriteEffect();
    if (!effect) {
        LogError("Недостаточно памяти для создания эффекта спрайтов.");
        return;
    }
    effect->SetBlendEnabled(true);
    effect->sourceBlend = 4;
    effect->destinationBlend = 5;
    SetEffect(effect.Get());
}

Garland::~Garland() = default;

void Garland::SetLine(GeometryNode* line) {
    if (line == this || line_ == line) return;
    line_ = line;
    lampCount_ = 0;
}

int Garland::GetPrimitiveType() const {
    return SpriteGeometry::HasPointSprites() ? 0 : 3;
}

void Garland::Build() {
    SetVertices(nullptr);
    SetPointSizes(nullptr);
    SetColors(nullptr);
    lampCount_ = 0;
    blinkTimer_ = 0.0f;
    darkGroup_ = 0;
    const int groups = palette_.GetCount();
    if (!line_ || groups == 0 || !line_->GetVertices() || !line_->GetVertices()->IsExactly(Vector3Buffer::TYPE))
        return;
    line_->ComputeWorldTransform();
    const auto* points = static_cast<const Vector3Buffer*>(line_->GetVertices());
    // Lamps cost up to 24 times the bytes of a line vertex in the quad form: a line read from a
    // file lights no more lamps than a particle pool may hold.
    int n = points->GetCount();
    if (n > kMaxLamps) {
        LogWarning("Число ламп гирлянды %d ограничено до %d. ID[%d] Имя[%s]", n, kMaxLamps, GetId(), GetName().GetText());
        n = kMaxLamps;
    }
    const bool sprites = SpriteGeometry::HasPointSprites();
    if (!SpriteGeometry::Allocate(*this, n, sprites, true)) return;
    lampCount_ = n;
    const Transform& world = line_->GetWorldTransform();
    Vector3* centres = sprites ? static_cast<Vector3Buffer*>(GetVertices())->GetElements()
                               : GetNormals()->GetElements();
    for (int i = 0; i < n; ++i) centres[i] = world.TransformPoint(points->GetElements()[i]);
    if (sprites) {
        float* sizes = GetPointSizes()->GetElements();
        for (int i = 0; i < n; ++i) sizes[i] = lampSize;
    }
    Color* colors = GetColors()->GetElements();
    const int perLamp = sprites ? 1 : 6;
    for (int i = 0; i < n; ++i) {
        Color c = palette_[i % groups];
        if (i % groups == 0) c.a = 0.0f;
        for (int k = 0; k < perLamp; ++k) colors[perLamp * i + k] = c;
    }
    GetVertices()->MarkDirty();
    GetColors()->MarkDirty();
}

void Garland::Recolor(int previous) {
    const int groups = palette_.GetCount();
    const int perLamp = GetColors()->GetCount() / lampCount_;
    Color* colors = GetColors()->GetElements();
    for (int i = 0; i < lampCount_; ++i) {
        const int g = i % groups;
        Color c = palette_[g];
        if (g == previous) c.a = 1.0f;
        if (g == darkGroup_) c.a = 0.0f;
        for (int k = 0; k < perLamp; ++k) colors[perLamp * i + k] = c;
    }
    GetColors()->MarkDirty();
}

void Garland::UpdateWorld(double dt) {
    GeometryNode::UpdateWorld(dt);
    if (lampCount_ == 0) Build();
    primitiveCount_ = 0;
    if (lampCount_ == 0) return;
    const bool sprites = SpriteGeometry::HasPointSprites();
    // The device's form changed since the lamps were built (a capability cap): build again.
    if (!SpriteGeometry::Matches(*this, lampCount_, sprites) || palette_.GetCount() == 0) {
        Build();
        if (lampCount_ == 0) return;
    }
    blinkTimer_ += float(dt);
    if (sprites) {
        primitiveCount_ = lampCount_;
    } else {
        const Renderer* renderer = ModuleManager::GetRenderer();
        const Camera* camera = renderer ? renderer->GetCamera() : nullptr;
        if (camera && GetNormals() && GetNormals()->GetCount() >= lampCount_) {
            Vector3 a, b;
            SpriteGeometry::QuadAxes(*camera, a, b);
            Vector3* corners = static_cast<Vector3Buffer*>(GetVertices())->GetElements();
            const Vector3* centres = GetNormals()->GetElements();
            for (int i = 0; i < lampCount_; ++i) SpriteGeometry::WriteQuad(corners + 6 * i, centres[i], lampSize, a, b);
            GetVertices()->MarkDirty();
            primitiveCount_ = 2 * lampCount_;
        }
    }

    // A period that is not positive would never let the timer fall below it.
    if (!(blinkPeriod > 0.0f)) return;
    const int groups = palette_.GetCount();
    int64_t steps = 0;
    while (blinkTimer_ > blinkPeriod) {
        if (steps == kBlinkSteps) {
            const double rest = std::floor(double(blinkTimer_) / double(blinkPeriod));
            steps += int64_t(std::fmod(rest, double(groups)));
            blinkTimer_ = std::fmod(blinkTimer_, blinkPeriod);
            break;
        }
        blinkTimer_ -= blinkPeriod;
        ++steps;
    }
    if (steps == 0) return;
    // Every recolouring rewrites all lamps, so only the last of several steps shows.
    const int advance = int(steps % groups);
    const int previous = ((darkGroup_ + advance - 1) % groups + groups) % groups;
    darkGroup_ = (darkGroup_ + advance) % groups;
    Recolor(previous);
}

void Garland::Render(Renderer& renderer) {
    if (GetVertices()) renderer.DrawGeometry(this);
}

void Garland::UpdateBound() {
    if (!line_ || !GetUpdateWorldBound()) return;
    const auto* source = DynamicCast<SphereBoundingVolume>(line_->GetWorldBound());
    if (BoundingVolume* world = GetWorldBound(); world && source) world->CopyFrom(source);
}

void Garland::Draw(Renderer& renderer) {
    SpriteGeometry::DrawPrimitives(*this, renderer, primitiveCount_);
}

int Garland::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    {
        RuntimeBuffersDetached detached(*this);
        if (!out.Follow(GeometryNode::Save(stream))) return out.GetStatus();
    }
    out.Float(blinkPeriod).Float(lampSize).Int(palette_.GetCount());
    for (const Color& c : palette_) out.Color(c);
    out.Check("Невозможно сохранить данные гирлянды. Имя[%s] ID[%d]")
        .Link(line_.Get(), "Невозможно сохранить линию гирлянды. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int Garland::Load(Stream& stream) {
    FieldReader in(stream, *this);
    int32_t count = 0;
    // Each colour takes 16 bytes: a count the rest of the stream cannot hold is forged.
    in.Follow(GeometryNode::Load(stream)).Float(blinkPeriod).Float(lampSize).Int(count);
    in.Check("Невозможно загрузить данные гирлянды. Имя[%s] ID[%d]", count >= 0 && count <= stream.GetRemaining() / 16);
    if (!in) return in.GetStatus();
    palette_.Clear();
    // Reserved at once: growing by one colour at a time would copy the palette per colour.
    if (count > 0 && !palette_.Reserve(count))
        return in.Fail("Невозможно загрузить данные гирлянды. Имя[%s] ID[%d]", kStatusNoMemory).GetStatus();
    for (int i = 0; i < count; ++i) {
        Color c;
        in.Color(c);
        if (!palette_.Append(c))
            return in.Fail("Невозможно загрузить данные гирлянды. Имя[%s] ID[%d]", kStatusNoMemory).GetStatus();
    }
    GeometryNode* line = nullptr;
    in.Check("Невозможно загрузить данные гирлянды. Имя[%s] ID[%d]")
        .Link(line, "Невозможно загрузить линию гирлянды. Имя[%s] ID[%d]");
    if (!in) return in.GetStatus();
    SetLine(line);
    lampCount_ = 0;
    return kStatusOk;
}

void Garland::VisitLinks(LinkVisitor& visitor) {
    GeometryNode::VisitLinks(visitor);
    if (visitor.Refuses(*this, line_)) SetLine(nullptr);
}

} // namespace nuv
