// The Direct3D 9 renderer's render targets, cube targets and shadow maps.
#include "render/d3d9/D3d9Renderer.h"
#include "render/d3d9/D3d9Support.h"

#include "core/ColorBuffer.h"
#include "core/FloatBuffer.h"
#include "core/IntBuffer.h"
#include "core/Log.h"
#include "core/Vector3Buffer.h"
#include "core/Vector4Buffer.h"
#include "media/image/Image.h"
#include "media/image/VolumeImage.h"
#include "render/CubeTexture.h"
#include "render/Pass.h"
#include "render/PixelShader.h"
#include "render/Shader.h"
#include "render/Texture.h"
#include "render/VertexShader.h"
#include "render/VolumeTexture.h"
#include "render/d3d9/D3d9StateMapping.h"
#include "scene/GeometryNode.h"
#include "scene/Light.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace nuv {

// --- Render targets --------------------------------------------------------------------------

D3d9Renderer::Resource* D3d9Renderer::TargetObject(BaseTexture* texture, Kind kind, int width, int height, int format,
                                                   bool ownDepth) {
    if (!texture || !device_ || width <= 0 || height <= 0) return nullptr;
    const int32_t id = texture->GetId();
    Resource* found = Find(id);
    if (found && found->kind == kind && found->width == width && found->height == height &&
        (found->depth != nullptr) == ownDepth)
        return found;
    // A texture met before as an input (or at another size) is made again as a target.
    Release(id);
    TargetObjects made;
    const bool ok = kind == Kind::kShadowMap ? MakeShadowMapObjects(width, height, made)
                                             : MakeColorObjects(*texture, kind, width, height, format, ownDepth, made);
    if (!ok) return nullptr;
    Resource& resource = Enter(id, kind, &texture->GetResourceLink());
    resource.object = made.object;
    resource.depth = made.depth;
    resource.width = width;
    resource.height = height;
    resource.count = made.levels;
    resource.link->handle[0] = reinterpret_cast<uintptr_t>(made.object);
    resource.link->dirty = 0;
    return &resource;
}

// A depth texture, and a colour surface of its size for the device to draw with.
bool D3d9Renderer::MakeShadowMapObjects(int width, int height, TargetObjects& made) {
    IUnknown*& object = made.object;
    IDirect3DTexture9* map = nullptr;
    if (FAILED(device_->CreateTexture(UINT(width), UINT(height), 1, D3DUSAGE_DEPTHSTENCIL, depthFormat_,
                                      D3DPOOL_DEFAULT, &map, nullptr)))
        return false;
    object = map;
    // A device draws only with a colour target: one of the map's size takes the (masked) colour.
    IDirect3DSurface9* color = nullptr;
    if (FAILED(device_->CreateRenderTarget(UINT(width), UINT(height), D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0,
                                           FALSE, &color, nullptr))) {
        D3d9Support::SafeRelease(object);
        return false;
    }
    made.depth = color;
    return true;
}

// A colour texture (a cube for a cube target) with an automatic mipmap chain where the device
// makes one and the texture asks for it, and a depth surface when ownDepth.
bool D3d9Renderer::MakeColorObjects(const BaseTexture& texture, Kind kind, int width, int height, int format,
                                    bool ownDepth, TargetObjects& made) {
    IUnknown*& object = made.object;
    int& levels = made.levels;
    // Formats by image kind; a lone alpha channel is not drawable everywhere, so it gets all four.
    D3DFORMAT target = format == Image::kRgb ? D3DFMT_X8R8G8B8
                       : format == Image::kWide ? D3DFMT_A16B16G16R16F
                                                : D3DFMT_A8R8G8B8;
    const bool autogen =
        texture.GetMipmapLevels() != 1 && GetCaps().GeneratesMipmaps(kind == Kind::kCubeTarget, format);
    for (int attempt = autogen ? 0 : 1; attempt < 2 && !object; ++attempt) {
        const DWORD usage = D3DUSAGE_RENDERTARGET | (attempt == 0 ? D3DUSAGE_AUTOGENMIPMAP : 0);
        const UINT count = attempt == 0 ? 0 : 1;
        if (kind == Kind::kCubeTarget) {
            IDirect3DCubeTexture9* cube = nullptr;
            if (SUCCEEDED(device_->CreateCubeTexture(UINT(width), count, usage, target, D3DPOOL_DEFAULT, &cube,
                                                     nullptr))) {
                object = cube;
                levels = int(cube->GetLevelCount());
            }
        } else {
            IDirect3DTexture9* plain = nullptr;
            if (SUCCEEDED(device_->CreateTexture(UINT(width), UINT(height), count, usage, target, D3DPOOL_DEFAULT,
                                                 &plain, nullptr))) {
                object = plain;
                levels = int(plain->GetLevelCount());
            }
        }
    }
    if (!object) {
        LogError("Невозможно создать цель рендеринга [%s].", texture.GetName().GetText());
        return false;
    }
    if (ownDepth && FAILED(device_->CreateDepthStencilSurface(UINT(width), UINT(height), depthFormat_,
                                                             D3DMULTISAMPLE_NONE, 0, TRUE, &made.depth, nullptr))) {
        D3d9Support::SafeRelease(object);
        return false;
    }
    return true;
}

void D3d9Renderer::PushTarget(BaseTexture* texture, int face, IDirect3DSurface9* color, IDirect3DSurface9* depth,
                              int width, int height) {
    IDirect3DSurface9* savedColor = nullptr;
    IDirect3DSurface9* savedDepth = nullptr;
    device_->GetRenderTarget(0, &savedColor);
    device_->GetDepthStencilSurface(&savedDepth);
    PushRenderTarget(texture, face, reinterpret_cast<uintptr_t>(savedColor), reinterpret_cast<uintptr_t>(savedDepth));
    device_->SetRenderTarget(0, color);
    device_->SetDepthStencilSurface(depth);
    viewportWidth_ = width;
    viewportHeight_ = height;
    appliedBlock_ = nullptr;
}

void D3d9Renderer::PopTarget() {
    RenderTarget popped;
    if (!PopRenderTarget(popped)) return;
    auto* color = reinterpret_cast<IDirect3DSurface9*>(popped.savedColor);
    auto* depth = reinterpret_cast<IDirect3DSurface9*>(popped.savedDepth);
    if (device_) {
        device_->SetRenderTarget(0, color);
        device_->SetDepthStencilSurface(depth);
    }
    D3DSURFACE_DESC desc{};
    if (color && SUCCEEDED(color->GetDesc(&desc))) {
        viewportWidth_ = int(desc.Width);
        viewportHeight_ = int(desc.Height);
    }
    D3d9Support::SafeRelease(color);
    D3d9Support::SafeRelease(depth);
    appliedBlock_ = nullptr;
}

void D3d9Renderer::SetRenderTarget(BaseTexture* texture) {
    if (!device_) return;
    if (!texture) {
        PopTarget();
        return;
    }
    auto* plain = dynamic_cast<Texture*>(texture);
    const Image* image = plain ? plain->GetImage() : nullptr;
    if (!image) return;
    // A texture whose first flag byte is 0 brings no depth surface: it draws with the one of the
    // target it is pushed over when that one is large enough (the glow source against the
    // captured scene's depth), else with none.
    const bool ownDepth = plain->GetFlags() != 0;
    Resource* resource =
        TargetObject(texture, Kind::kTarget, image->GetWidth(), image->GetHeight(), image->GetFormat(), ownDepth);
    if (!resource) return;
    IDirect3DSurface9* surface = nullptr;
    static_cast<IDirect3DTexture9*>(resource->object)->GetSurfaceLevel(0, &surface);
    IDirect3DSurface9* depth = resource->depth;
    IDirect3DSurface9* current = nullptr;
    if (!ownDepth && SUCCEEDED(device_->GetDepthStencilSurface(&current)) && current) {
        D3DSURFACE_DESC desc{};
        current->GetDesc(&desc);
        if (int(desc.Width) >= resource->width && int(desc.Height) >= resource->height) depth = current;
    }
    PushTarget(texture, 0, surface, depth, resource->width, resource->height);
    D3d9Support::SafeRelease(current);
    D3d9Support::SafeRelease(surface);
}

void D3d9Renderer::SetCubeRenderTarget(int face, CubeTexture* texture) {
    if (!device_) return;
    if (!texture) {
        PopTarget();
        return;
    }
    const Image* image = texture->GetImage();
    if (!image || face < 0 || face > 5) return;
    Resource* resource =
        TargetObject(texture, Kind::kCubeTarget, image->GetWidth(), image->GetWidth(), image->GetFormat(), true);
    if (!resource) return;
    IDirect3DSurface9* surface = nullptr;
    static_cast<IDirect3DCubeTexture9*>(resource->object)->GetCubeMapSurface(D3DCUBEMAP_FACES(face), 0, &surface);
    PushTarget(texture, face, surface, resource->depth, resource->width, resource->height);
    D3d9Support::SafeRelease(surface);
}

void D3d9Renderer::SetShadowmapTarget(BaseTexture* texture, int depthBias, float slopeScaledBias) {
    if (!device_) return;
    if (!texture) {
        PopTarget();
        device_->SetRenderState(D3DRS_DEPTHBIAS, 0);
        device_->SetRenderState(D3DRS_SLOPESCALEDEPTHBIAS, 0);
        device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
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
    Resource* resource = TargetObject(texture, Kind::kShadowMap, width, height, 0, true);
    if (!resource) return;
    IDirect3DSurface9* surface = nullptr;
    static_cast<IDirect3DTexture9*>(resource->object)->GetSurfaceLevel(0, &surface);
    PushTarget(texture, 0, resource->depth, surface, resource->width, resource->height);
    D3d9Support::SafeRelease(surface);
    device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    device_->SetRenderState(D3DRS_DEPTHBIAS, D3d9StateMapping::FloatBits(float(depthBias) * 5.960465e-8f));
    device_->SetRenderState(D3DRS_SLOPESCALEDEPTHBIAS, D3d9StateMapping::FloatBits(slopeScaledBias));
    shadowBias_ = true;
    equalDepthOffset_ = false;
}

void D3d9Renderer::SetViewport(const Vector2& position, const Vector2& size) {
    viewportWidth_ = int(size.x);
    viewportHeight_ = int(size.y);
    if (!device_) return;
    D3DVIEWPORT9 viewport{DWORD(int(position.x)), DWORD(int(position.y)), DWORD(viewportWidth_),
                          DWORD(viewportHeight_), 0.0f, 1.0f};
    device_->SetViewport(&viewport);
}

} // namespace nuv
