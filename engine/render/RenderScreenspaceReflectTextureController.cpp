#include "render/RenderScreenspaceReflectTextureController.h"

#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "core/Vector2.h"
#include "media/ModuleManager.h"
#include "media/image/Image.h"
#include "render/PostRenderEffect.h"
#include "render/Renderer.h"
#include "render/Texture.h"
#include "scene/Camera.h"
#include "scene/Node.h"

#include <cmath>
#include <new>

namespace nuv {

NUV_IMPLEMENT_OBJECT(RenderScreenspaceReflectTextureController, Controller)

namespace {

// Set while a reflection is drawn: a mirror seen in another mirror is not drawn again.
bool gDrawingReflection = false;

} // namespace

RenderScreenspaceReflectTextureController::RenderScreenspaceReflectTextureController() = default;

RenderScreenspaceReflectTextureController::~RenderScreenspaceReflectTextureController() = default;

Node* RenderScreenspaceReflectTextureController::GetNode(int index) const {
    return index >= 0 && index < GetNodeCount() ? nodes_[size_t(index)].Get() : nullptr;
}

void RenderScreenspaceReflectTextureController::AddNode(Node* node) {
    if (node) nodes_.emplace_back(node);
}

Matrix4 RenderScreenspaceReflectTextureController::Reflection(float h) {
    return Matrix4(1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 2.0f * h, 0, 1);
}

Matrix4 RenderScreenspaceReflectTextureController::MirroredView(const Matrix4& cameraView, float h) {
    return Reflection(h) * cameraView;
}

Matrix4 RenderScreenspaceReflectTextureController::ObliqueProjection(const Matrix4& mirroredView,
                                                                     const Matrix4& projection, float h) {
    // A plane (as a column) maps into clip space by the inverse of the row-vector transform.
    // The view takes the world as it is, so the kept side is above the surface: y >= h - 0.8.
    const float plane[4] = {0.0f, 1.0f, 0.0f, 0.8f - h};
    // A near plane must have the eye on its far side; with the eye on the kept side it would
    // cut away the whole reflection, so the projection stays as it is.
    Matrix4 toWorld;
    if (mirroredView.Inverse(toWorld) != kStatusOk) return projection;
    const Vector3 eye = toWorld.GetTranslation();
    if (plane[1] * eye.y + plane[3] >= 0.0f) return projection;
    Matrix4 inverse;
    if ((mirroredView * projection).Inverse(inverse) != kStatusOk) return projection;
    float c[4];
    for (int j = 0; j < 4; ++j)
        c[j] = inverse.m[j][0] * plane[0] + inverse.m[j][1] * plane[1] + inverse.m[j][2] * plane[2] +
               inverse.m[j][3] * plane[3];
    if (c[3] == 0.0f) return projection;
    if (c[3] > 0.0f) c[3] += 1.0f;
    // The far corner of clip space on the plane's side sets the scale, so depth 1 stays there.
    const float q[4] = {c[0] > 0.0f ? 1.0f : c[0] < 0.0f ? -1.0f : 0.0f, c[1] > 0.0f ? 1.0f : c[1] < 0.0f ? -1.0f : 0.0f,
                        1.0f, 1.0f};
    const float d = c[0] * q[0] + c[1] * q[1] + c[2] * q[2] + c[3] * q[3];
    if (d == 0.0f || !std::isfinite(d)) return projection;
    Matrix4 depth;  // replaces clip depth by the plane's distance
    for (int i = 0; i < 4; ++i) depth.m[i][2] = c[i] / d;
    return projection * depth;
}

void RenderScreenspaceReflectTextureController::FollowViewport(Renderer& renderer, Texture& texture) {
    const int width = std::max(renderer.GetViewportWidth() / 2, 1);
    const int height = std::max(renderer.GetViewportHeight() / 2, 1);
    const Image* image = texture.GetImage();
    if (image && image->GetWidth() == width && image->GetHeight() == height) return;
    if (renderer.GetViewportWidth() <= 0 || renderer.GetViewportHeight() <= 0) return;
    Pointer<Image> resized = new (std::nothrow) Image(texture.GetName(), width, height,
                                                      image ? image->GetFormat() : int(Image::kRgba));
    if (resized && resized->HasPixels()) texture.SetImage(resized.Get());
}

void RenderScreenspaceReflectTextureController::Apply(double) {
    if (!IsActive()) return;
    if (Renderer* renderer = ModuleManager::GetRenderer()) renderer->RegisterPreRender(this);
}

void RenderScreenspaceReflectTextureController::PostUpdate() {
    Renderer* renderer = ModuleManager::GetRenderer();
    auto* texture = DynamicCast<Texture>(GetOwner());
    Camera* camera = renderer ? renderer->GetCamera() : nullptr;
    if (!renderer || !texture || !camera || gDrawingReflection) return;
    const Renderer::ProfileScope section(*renderer, "reflection");

    const Matrix4 view = camera->GetView();
    const Matrix4 projection = camera->GetProjection();
    const Matrix4 viewProjection = camera->GetViewProjection();
    // In film mode the reflection is seen through the letterbox: its viewport and projection.
    const bool letterbox = PostRenderEffect::IsLetterboxActive();
    const int fullWidth = renderer->GetViewportWidth(), fullHeight = renderer->GetViewportHeight();
    if (letterbox) {
        float y = 0.0f, height = 0.0f;
        PostRenderEffect::LetterboxViewport(fullWidth, fullHeight, y, height);
        renderer->SetViewport(Vector2(0.0f, y), Vector2(float(fullWidth), height));
        PostRenderEffect::ApplyLetterboxProjection(*camera, true);
    }
    FollowViewport(*renderer, *texture);

    const float h = reference_ ? reference_->GetWorldTransform().GetTranslation().y : 0.0f;
    const Matrix4 lensProjection = camera->GetProjection();
    const Matrix4 mirrored = MirroredView(view, h);
    // The mirrored eye's own frustum culls the mirror's list (the lens's, not the oblique
    // projection's: that one only moves the near plane onto the surface, which the device clips).
    camera->SetMatrices(mirrored, lensProjection);
    camera->SetProjection(ObliqueProjection(mirrored, lensProjection, h));
    camera->SetViewProjection(camera->GetView() * camera->GetProjection());
    gDrawingReflection = true;

    renderer->SetRenderTarget(texture);
    renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth, renderer->GetClearColor(), 1.0f, 0);
    // The reflection turns the winding around.
    renderer->SetReverseCull(true);
    const int32_t planes = camera->GetPlaneMask();
    camera->SetPlaneMask(Camera::kAllPlanes);
    for (const Pointer<Node>& node : nodes_) node->CullAndRender(*renderer);
    camera->SetPlaneMask(planes);
    renderer->SetRenderTarget(nullptr);
    renderer->SetReverseCull(false);
    gDrawingReflection = false;
    // The camera's own matrices and frustum planes come back.
    camera->SetMatrices(view, projection);
    camera->SetViewProjection(viewProjection);
    if (letterbox) renderer->SetViewport(Vector2(0.0f, 0.0f), Vector2(float(fullWidth), float(fullHeight)));
    // The fixed-function passes set the device matrices from the camera again at their next use.
    renderer->SetViewMatrix(camera->GetView());
    renderer->SetProjectionMatrix(camera->GetProjection());
}

int RenderScreenspaceReflectTextureController::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    out.Follow(Controller::Save(stream))
        .Link(reference_.Get(), "Невозможно сохранить узел. Имя[%s] ID[%d]")
        .Int(int32_t(nodes_.size()));
    for (const Pointer<Node>& node : nodes_) out.Link(node.Get());
    out.Check("Невозможно сохранить узлы. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int RenderScreenspaceReflectTextureController::Load(Stream& stream) {
    FieldReader in(stream, *this);
    if (!in.Follow(Controller::Load(stream)).Link(reference_, "Невозможно загрузить узел. ID[%d] Имя[%s]"))
        return in.GetStatus();
    int32_t count = 0;
    in.Int(count);
    nodes_.clear();
    // Links are read one at a time: a forged count ends at the stream's end, not in an allocation.
    in.Check("Невозможно загрузить узлы. Имя[%s] ID[%d]", count >= 0);
    for (int32_t i = 0; in && i < count; ++i) {
        Node* node = nullptr;
        if (in.Link(node, "Невозможно загрузить узлы. Имя[%s] ID[%d]")) AddNode(node);
    }
    return in.GetStatus();
}

void RenderScreenspaceReflectTextureController::VisitLinks(LinkVisitor& visitor) {
    Controller::VisitLinks(visitor);
    if (visitor.Refuses(*this, reference_)) SetReferenceNode(nullptr);
    visitor.VisitList(*this, nodes_);
}

} // namespace nuv
