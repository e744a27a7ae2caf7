// The OpenGL renderer's render targets, cube targets and shadow maps.
#include "render/gl/GlRenderer.h"
#include "render/gl/GlSupport.h"

#include "core/ColorBuffer.h"
#include "core/FloatBuffer.h"
#include "core/IntBuffer.h"
#include "core/Log.h"
#include "core/ResourceLink.h"
#include "core/Vector3Buffer.h"
#include "core/Vector4Buffer.h"
#include "media/image/Image.h"
#include "media/image/VolumeImage.h"
#include "platform/SystemWindow.h"
#include "render/CubeTexture.h"
#include "render/Pass.h"
#include "render/PixelShader.h"
#include "render/Texture.h"
#include "render/VertexShader.h"
#include "render/VolumeTexture.h"
#include "render/gl/GlStateMapping.h"
#include "scene/GeometryNode.h"
#include "scene/Light.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace nuv {

// --- Render targets --------------------------------------------------------------------------

GlRenderer::Resource* GlRenderer::TargetObject(BaseTexture* texture, Kind kind, int width, int height, int format,
                                               bool ownDepth) {
    if (!texture || !context_ || width <= 0 || height <= 0) return nullptr;
    const int32_t id = texture->GetId();
    Resource* found = Find(id);
    if (found && found->kind == kind && found->width == width && found->height == height &&
        (found->depth != 0) == ownDepth)
        return found;
    // A texture met before as an input (or at another size) is made again as a target.
    Resource& resource = Enter(id, kind, texture->GetResourceLink());
    resource.width = width;
    resource.height = height;
    resource.count = 1;
    glGetError();
    glGenTextures(1, &resource.name);
    resource.link->handle[0] = resource.name;
    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);

    if (kind == Kind::kShadowMap) MakeShadowMapTarget(resource);
    else MakeColorTarget(resource, *texture, kind, format, ownDepth);
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(previous));
    if (status != GL_FRAMEBUFFER_COMPLETE || glGetError() != GL_NO_ERROR) {
        LogError("Невозможно создать цель рендеринга [%s].", texture->GetName().GetText());
        // Every call after the refused one failed too; none of it is left for the next reader.
        for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
        }
        Release(id);
        return nullptr;
    }
    resource.link->dirty = 0;
    return &resource;
}

// A depth texture and its framebuffer, which draws no colour.
void GlRenderer::MakeShadowMapTarget(Resource& resource) {
    glBindTexture(GL_TEXTURE_2D, resource.name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, resource.width, resource.height, 0, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT,
                 nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glGenFramebuffers(1, &resource.framebuffers[0]);
    glBindFramebuffer(GL_FRAMEBUFFER, resource.framebuffers[0]);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, resource.name, 0);
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
}

// A colour texture (six faces for a cube), its mipmap chain where the texture asks for one, a
// depth and stencil surface when ownDepth, and a framebuffer per face.
void GlRenderer::MakeColorTarget(Resource& resource, const BaseTexture& texture, Kind kind, int format, bool ownDepth) {
    const int width = resource.width, height = resource.height;
    // Colour formats by image kind; a lone alpha channel is not drawable, so it gets all four.
    GLenum internal = GL_RGBA8;
    if (format == Image::kRgb) internal = GL_RGB8;
    else if (format == Image::kWide) internal = GL_RGBA16F;
    const bool cube = kind == Kind::kCubeTarget;
    const GLenum target = cube ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
    glBindTexture(target, resource.name);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    const int faces = cube ? 6 : 1;
    for (int face = 0; face < faces; ++face)
        glTexImage2D(cube ? GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face) : GL_TEXTURE_2D, 0, GLint(internal), width,
                     height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    // The lower levels follow level 0 each time the target is left (see PopTarget), where the
    // device reports generating them for the kind. A texture that asks for one level gets none:
    // the glow's full-screen targets are read at level 0 only, and making their chains every
    // frame costs milliseconds.
    if (texture.GetMipmapLevels() != 1 && GetCaps().GeneratesMipmaps(cube, format)) {
        glGenerateMipmap(target);
        resource.mipmapped = true;
        resource.count = GlSupport::FullChain(width, height);
    }
    if (ownDepth) {
        glGenRenderbuffers(1, &resource.depth);
        glBindRenderbuffer(GL_RENDERBUFFER, resource.depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    }
    glGenFramebuffers(faces, resource.framebuffers);
    for (int face = 0; face < faces; ++face) {
        glBindFramebuffer(GL_FRAMEBUFFER, resource.framebuffers[face]);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                               cube ? GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face) : GL_TEXTURE_2D, resource.name, 0);
        if (!ownDepth) continue;
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, resource.depth);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, resource.depth);
    }
}

void GlRenderer::PushTarget(BaseTexture* texture, int face, GLuint framebuffer, int width, int height) {
    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
    // The size of the target left behind comes back with it.
    const uintptr_t size = (uintptr_t(uint32_t(viewportWidth_)) << 16) | uintptr_t(uint32_t(viewportHeight_) & 0xFFFF);
    PushRenderTarget(texture, face, uintptr_t(previous), size);
    appliedBlock_ = nullptr;  // point sprites are sized by the viewport
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    viewportWidth_ = width;
    viewportHeight_ = height;
    glViewport(0, 0, width, height);
}

void GlRenderer::PopTarget() {
    RenderTarget popped;
    if (!PopRenderTarget(popped)) return;
    appliedBlock_ = nullptr;
    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(popped.savedColor));
    // The back buffer, or the outer target when targets were nested.
    viewportWidth_ = int((popped.savedDepth >> 16) & 0xFFFF);
    viewportHeight_ = int(popped.savedDepth & 0xFFFF);
    if (GetRenderTargetDepth() == 0) {
        viewportWidth_ = backWidth_;
        viewportHeight_ = backHeight_;
    }
    glViewport(0, 0, viewportWidth_, viewportHeight_);
    // What was drawn reaches the lower levels, as automatic mip-map generation does.
    if (Resource* left = popped.texture ? Find(popped.texture->GetId()) : nullptr;
        left && left->mipmapped && (left->kind == Kind::kTarget || left->kind == Kind::kCubeTarget)) {
        const GLenum target = left->kind == Kind::kCubeTarget ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
        glBindTexture(target, left->name);
        glGenerateMipmap(target);
    }
}

void GlRenderer::SetRenderTarget(BaseTexture* texture) {
    if (!context_) return;
    if (!texture) {
        PopTarget();
        return;
    }
    const Image* image = nullptr;
    auto* plain = dynamic_cast<Texture*>(texture);
    if (plain) image = plain->GetImage();
    if (!image) return;
    // A texture whose first flag byte is 0 brings no depth surface: it draws with the one of
    // the target it is pushed over (the glow source against the captured scene's depth).
    const bool ownDepth = plain->GetFlags() != 0;
    BaseTexture* outer = GetTopRenderTarget();
    Resource* resource =
        TargetObject(texture, Kind::kTarget, image->GetWidth(), image->GetHeight(), image->GetFormat(), ownDepth);
    if (!resource) return;
    PushTarget(texture, 0, resource->framebuffers[0], resource->width, resource->height);
    if (!ownDepth) ShareDepth(outer, *resource);
}

void GlRenderer::ShareDepth(BaseTexture* outer, const Resource& target) {
    const Resource* from = outer ? Find(outer->GetId()) : nullptr;
    const bool fits = from && from->kind == Kind::kTarget && from->depth != 0 && from->width == target.width &&
                      from->height == target.height;
    const GLuint depth = fits ? from->depth : 0;
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);
}

void GlRenderer::SetCubeRenderTarget(int face, CubeTexture* texture) {
    if (!context_) return;
    if (!texture) {
        PopTarget();
        return;
    }
    const Image* image = texture->GetImage();
    if (!image || face < 0 || face > 5) return;
    Resource* resource =
        TargetObject(texture, Kind::kCubeTarget, image->GetWidth(), image->GetWidth(), image->GetFormat());
    if (resource) PushTarget(texture, face, resource->framebuffers[face], resource->width, resource->height);
}

void GlRenderer::SetShadowmapTarget(BaseTexture* texture, int depthBias, float slopeScaledBias) {
    if (!context_) return;
    if (!texture) {
        PopTarget();
        glPolygonOffset(0, 0);
        glDisable(GL_POLYGON_OFFSET_FILL);
        shadowBias_ = false;
        equalDepthOffset_ = false;
        return;
    }
    // Without a picture the map takes the current viewport's size.
    int width = viewportWidth_, height = viewportHeight_;
    if (auto* plain = dynamic_cast<Texture*>(texture); plain && plain->GetImage()) {
        width = plain->GetImage()->GetWidth();
        height = plain->GetImage()->GetHeight();
    } else if (Resource* known = Find(texture->GetId()); known && known->kind == Kind::kShadowMap) {
        width = known->width;
        height = known->height;
    }
    // A shadow map is its own depth texture: it has no separate depth surface to ask for.
    Resource* resource = TargetObject(texture, Kind::kShadowMap, width, height, 0, false);
    if (!resource) return;
    PushTarget(texture, 0, resource->framebuffers[0], resource->width, resource->height);
    // One unit of the depth bias is 2^-24 of the depth range, the offset unit of a 24-bit buffer.
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(slopeScaledBias, GLfloat(depthBias));
    shadowBias_ = true;
    equalDepthOffset_ = false;
}

bool GlRenderer::ReadTarget(BaseTexture* texture, int& width, int& height, std::vector<uint8_t>& rgba) {
    // A graphics card would stall its queue for this; llvmpipe has the pixels in memory and has
    // finished drawing them by the time the target was left.
    if (!context_ || !softwareRasterizer_ || !texture) return false;
    const Resource* target = Find(texture->GetId());
    if (!target || target->kind != Kind::kTarget || !target->framebuffers[0]) return false;
    width = target->width;
    height = target->height;
    rgba.resize(size_t(width) * size_t(height) * 4);
    GLint reading = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &reading);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, target->framebuffers[0]);
    // A target's rows are already top first.
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(reading));
    return glGetError() == GL_NO_ERROR;
}

bool GlRenderer::CopyTarget(BaseTexture* source) {
    if (!context_ || !source) return false;
    const Resource* from = Find(source->GetId());
    if (!from || from->kind != Kind::kTarget || !from->framebuffers[0]) return false;
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] != from->width || viewport[3] != from->height) return false;
    GLint reading = 0, drawing = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &reading);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawing);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, from->framebuffers[0]);
    // Targets hold their rows top first, the back buffer bottom first.
    const GLint top = viewport[1] + viewport[3], bottom = viewport[1];
    const bool flip = drawing == 0;
    glBlitFramebuffer(0, 0, from->width, from->height, viewport[0], flip ? top : bottom, viewport[0] + viewport[2],
                      flip ? bottom : top, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(reading));
    return glGetError() == GL_NO_ERROR;
}

void GlRenderer::SetViewport(const Vector2& position, const Vector2& size) {
    viewportWidth_ = int(size.x);
    viewportHeight_ = int(size.y);
    if (!context_) return;
    // The engine counts rows from the top, GL from the bottom; targets are already drawn flipped.
    const int y = GetRenderTargetDepth() > 0 ? int(position.y) : backHeight_ - int(position.y) - viewportHeight_;
    glViewport(int(position.x), y, viewportWidth_, viewportHeight_);
    glDepthRange(0, 1);
}

} // namespace nuv
