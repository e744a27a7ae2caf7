// The Direct3D 9 renderer's device object cache, vertex and index buffers, and textures.
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

namespace {

// Sampled formats by image kind: colour, colour with alpha, alpha only.
D3DFORMAT SampledFormat(int format) {
    switch (format) {
    case Image::kRgb: return D3DFMT_X8R8G8B8;
    case Image::kRgba: return D3DFMT_A8R8G8B8;
    case Image::kOneChannel: return D3DFMT_A8;
    default: return D3DFMT_UNKNOWN;
    }
}

int FullChain(int width, int height, int depth = 1) {
    int levels = 1;
    for (int size = std::max({width, height, depth}); size > 1; size >>= 1) ++levels;
    return levels;
}

// One level of texels in device order: rows top first (image rows run bottom first), colours
// as B, G, R, A (255 for pictures without alpha), alpha-only bytes as they are.
struct Texels {
    int width = 0;
    int height = 0;
    int bytes = 4;
    std::vector<uint8_t> data;
};

Texels FromImage(const uint8_t* pixels, int width, int height, int format) {
    Texels t;
    t.width = width;
    t.height = height;
    t.bytes = format == Image::kOneChannel ? 1 : 4;
    t.data.resize(size_t(width) * size_t(height) * size_t(t.bytes));
    const int in = Image::GetBytesPerPixel(format);
    for (int r = 0; r < height; ++r) {
        const uint8_t* src = pixels + size_t(r) * size_t(width) * size_t(in);
        uint8_t* dst = t.data.data() + size_t(height - 1 - r) * size_t(width) * size_t(t.bytes);
        for (int x = 0; x < width; ++x, src += in, dst += t.bytes) {
            if (t.bytes == 1) {
                dst[0] = src[0];
                continue;
            }
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            dst[3] = format == Image::kRgba ? src[3] : 255;
        }
    }
    return t;
}

// The next level down: each texel the mean of the (up to) four above it.
Texels HalfSize(const Texels& t) {
    Texels h;
    h.width = std::max(1, t.width / 2);
    h.height = std::max(1, t.height / 2);
    h.bytes = t.bytes;
    h.data.resize(size_t(h.width) * size_t(h.height) * size_t(h.bytes));
    for (int y = 0; y < h.height; ++y)
        for (int x = 0; x < h.width; ++x)
            for (int c = 0; c < h.bytes; ++c) {
                int sum = 0, n = 0;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx) {
                        const int sx = std::min(x * 2 + dx, t.width - 1), sy = std::min(y * 2 + dy, t.height - 1);
                        sum += t.data[(size_t(sy) * size_t(t.width) + size_t(sx)) * size_t(t.bytes) + size_t(c)];
                        ++n;
                    }
                h.data[(size_t(y) * size_t(h.width) + size_t(x)) * size_t(h.bytes) + size_t(c)] = uint8_t(sum / n);
            }
    return h;
}

bool CopyToRect(const D3DLOCKED_RECT& rect, const Texels& t) {
    if (!rect.pBits) return false;
    const size_t row = size_t(t.width) * size_t(t.bytes);
    for (int y = 0; y < t.height; ++y)
        std::memcpy(static_cast<uint8_t*>(rect.pBits) + size_t(y) * size_t(rect.Pitch), t.data.data() + size_t(y) * row,
                    row);
    return true;
}

bool FillTexture(IDirect3DTexture9* texture, Texels level) {
    const DWORD levels = texture->GetLevelCount();
    for (DWORD l = 0; l < levels; ++l) {
        D3DLOCKED_RECT rect{};
        if (FAILED(texture->LockRect(l, &rect, nullptr, 0))) return false;
        const bool copied = CopyToRect(rect, level);
        texture->UnlockRect(l);
        if (!copied) return false;
        if (l + 1 < levels) level = HalfSize(level);
    }
    return true;
}

} // namespace

// --- The cache -------------------------------------------------------------------------------

bool D3d9Renderer::InDefaultPool(const Resource& resource) {
    if (resource.dynamic) return true;
    const Kind kind = resource.kind;
    // Render targets, shadow maps, their depth surfaces, queries and recorded states go with a
    // reset; managed buffers and textures, and shaders, survive it.
    return kind == Kind::kTarget || kind == Kind::kCubeTarget || kind == Kind::kShadowMap || kind == Kind::kQuery ||
           kind == Kind::kState;
}

int D3d9Renderer::GetDefaultPoolCount() const {
    return int(std::count_if(resources_.begin(), resources_.end(),
                             [](const auto& entry) { return InDefaultPool(entry.second); }));
}

D3d9Renderer::Resource* D3d9Renderer::Find(int32_t id) {
    auto it = resources_.find(id);
    return it == resources_.end() ? nullptr : &it->second;
}

D3d9Renderer::Resource& D3d9Renderer::Enter(int32_t id, Kind kind, ResourceLink* link) {
    Release(id);
    Resource& resource = resources_[id];
    resource.kind = kind;
    resource.link = link;
    if (link) link->renderer = this;
    return resource;
}

void D3d9Renderer::Release(int32_t id) {
    auto it = resources_.find(id);
    if (it == resources_.end()) return;
    Resource resource = it->second;
    resources_.erase(it);
    if (indices_ && indices_->object == resource.object) indices_ = nullptr;
    for (Stream& stream : streams_)
        if (stream.buffer && stream.buffer->object == resource.object) stream = Stream{};
    // Programs belong to the text cache, shared by every shader with that text.
    if (resource.kind != Kind::kVertexShader && resource.kind != Kind::kPixelShader) D3d9Support::SafeRelease(resource.object);
    D3d9Support::SafeRelease(resource.depth);
    if (resource.link) {
        resource.link->handle[0] = resource.link->handle[1] = 0;
        resource.link->dirty = 1;
        // Last: the link may hold the last reference on this renderer.
        Pointer<DeviceResourceCache> keep = std::move(resource.link->renderer);
    }
}

void D3d9Renderer::ReleaseDefaultPool() {
    Pointer<DeviceResourceCache> self(GetReferenceCount() > 0 ? this : nullptr);
    while (GetRenderTargetDepth() > 0) PopTarget();
    std::vector<int32_t> ids;
    for (const auto& entry : resources_)
        if (InDefaultPool(entry.second)) ids.push_back(entry.first);
    for (int32_t id : ids) Release(id);
    block_ = nullptr;
    appliedBlock_ = nullptr;
    for (BaseTexture*& texture : boundTextures_) texture = nullptr;
}

void D3d9Renderer::ReleaseAll() {
    Pointer<DeviceResourceCache> self(GetReferenceCount() > 0 ? this : nullptr);
    while (!resources_.empty()) Release(resources_.begin()->first);
    for (auto& program : programs_) D3d9Support::SafeRelease(program.second);
    programs_.clear();
    for (auto& layout : layouts_) D3d9Support::SafeRelease(layout.second);
    layouts_.clear();
    indices_ = nullptr;
    for (Stream& stream : streams_) stream = Stream{};
    block_ = nullptr;
    appliedBlock_ = nullptr;
    for (BaseTexture*& texture : boundTextures_) texture = nullptr;
    vertexShader_ = pixelShader_ = nullptr;
}

void D3d9Renderer::ReleaseBuffer(Buffer& buffer) {
    Release(buffer.GetId());
}

void D3d9Renderer::ReleaseTexture(BaseTexture& texture) {
    for (BaseTexture*& bound : boundTextures_)
        if (bound == &texture) bound = nullptr;
    Release(texture.GetId());
}

void D3d9Renderer::ReleaseShader(Shader& shader) {
    if (Resource* resource = Find(shader.GetId())) {
        if (vertexShader_ == resource->object) vertexShader_ = nullptr;
        if (pixelShader_ == resource->object) pixelShader_ = nullptr;
    }
    Release(shader.GetId());
}

void D3d9Renderer::ReleasePass(Pass& pass) {
    // The recorded state belongs to the pass's block, released with it or when the pass is dirty.
    if (block_ == pass.GetStateBlock()) block_ = nullptr;
    if (appliedBlock_ == pass.GetStateBlock()) appliedBlock_ = nullptr;
    Release(pass.GetId());
}

void D3d9Renderer::ReleaseResource(Object& object) {
    if (block_ == static_cast<Object*>(&object)) block_ = nullptr;
    if (appliedBlock_ == static_cast<Object*>(&object)) appliedBlock_ = nullptr;
    Release(object.GetId());
}

// --- Buffers ---------------------------------------------------------------------------------

D3d9Renderer::Resource* D3d9Renderer::BufferObject(Buffer* buffer, bool indices) {
    if (!buffer || buffer->GetCount() <= 0 || !buffer->GetData() || !device_) return nullptr;
    const int32_t id = buffer->GetId();
    Resource* resource = Find(id);
    const Kind kind = indices ? Kind::kIndexBuffer : Kind::kVertexBuffer;
    const bool colors = !indices && DynamicCast<ColorBuffer>(buffer) != nullptr;
    const int count = buffer->GetCount();
    const bool longIndices = UsesLongIndices(facts_.maxVertexIndex);
    const int components = colors ? 0 : buffer->GetDataSize() / count / int(sizeof(float));
    const UINT bytes = indices ? UINT(count * (longIndices ? 4 : 2)) : UINT(colors ? count * 4 : buffer->GetDataSize());
    bool dynamic = false;
    if (resource && (resource->kind != kind || resource->count != count || resource->components != components)) {
        dynamic = resource->dynamic;
        Release(id);
        resource = nullptr;
    } else if (resource && resource->link->dirty && !resource->dynamic) {
        // Written again after its first upload (particles, sprites, skinned shapes): made a
        // dynamic buffer, rewritten whole without waiting for the draws that still read it.
        Release(id);
        resource = nullptr;
        dynamic = true;
    }
    if (!resource) {
        IUnknown* object = nullptr;
        HRESULT hr = E_FAIL;
        const DWORD usage = D3DUSAGE_WRITEONLY | (dynamic ? D3DUSAGE_DYNAMIC : 0);
        const D3DPOOL pool = dynamic ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED;
        if (indices) {
            IDirect3DIndexBuffer9* ib = nullptr;
            hr = device_->CreateIndexBuffer(bytes, usage, longIndices ? D3DFMT_INDEX32 : D3DFMT_INDEX16, pool, &ib,
                                            nullptr);
            object = ib;
        } else {
            IDirect3DVertexBuffer9* vb = nullptr;
            hr = device_->CreateVertexBuffer(bytes, usage, 0, pool, &vb, nullptr);
            object = vb;
        }
        if (FAILED(hr) || !object) return nullptr;
        resource = &Enter(id, kind, &buffer->GetResourceLink());
        resource->dynamic = dynamic;
        resource->object = object;
        resource->count = count;
        resource->components = indices ? (longIndices ? 4 : 2) : components;
        resource->link->handle[0] = reinterpret_cast<uintptr_t>(object);
        resource->link->dirty = 1;
    }
    if (!resource->link->dirty) return resource;
    void* target = nullptr;
    const DWORD lock = resource->dynamic ? D3DLOCK_DISCARD : 0;
    const HRESULT locked = indices ? static_cast<IDirect3DIndexBuffer9*>(resource->object)->Lock(0, 0, &target, lock)
                                   : static_cast<IDirect3DVertexBuffer9*>(resource->object)->Lock(0, 0, &target, lock);
    if (FAILED(locked) || !target) return resource;
    if (indices) {
        const int32_t* source = static_cast<IntBuffer*>(buffer)->GetElements();
        if (longIndices) {
            std::memcpy(target, source, size_t(count) * 4);
        } else {
            // Each index keeps its low 16 bits on a device that reads no more.
            auto* shorts = static_cast<uint16_t*>(target);
            for (int i = 0; i < count; ++i) shorts[i] = uint16_t(uint32_t(source[i]) & 0xFFFFu);
        }
        static_cast<IDirect3DIndexBuffer9*>(resource->object)->Unlock();
    } else {
        if (colors) {
            const Color* source = static_cast<ColorBuffer*>(buffer)->GetElements();
            auto* argb = static_cast<D3DCOLOR*>(target);
            for (int i = 0; i < count; ++i) argb[i] = D3d9StateMapping::Argb(source[i]);
        } else {
            std::memcpy(target, buffer->GetData(), size_t(buffer->GetDataSize()));
        }
        static_cast<IDirect3DVertexBuffer9*>(resource->object)->Unlock();
    }
    resource->link->dirty = 0;
    return resource;
}

void D3d9Renderer::Bind(StreamSlot slot, Buffer* buffer, BYTE usage, BYTE usageIndex, bool colors) {
    Resource* resource = BufferObject(buffer, false);
    Stream& stream = streams_[slot];
    stream = Stream{};
    if (!resource) return;
    static const BYTE kFloatTypes[5] = {D3DDECLTYPE_UNUSED, D3DDECLTYPE_FLOAT1, D3DDECLTYPE_FLOAT2,
                                        D3DDECLTYPE_FLOAT3, D3DDECLTYPE_FLOAT4};
    if (colors) {
        if (resource->components != 0) return;
        stream.type = D3DDECLTYPE_D3DCOLOR;
        stream.stride = 4;
    } else {
        if (resource->components < 1 || resource->components > 4) return;
        stream.type = kFloatTypes[resource->components];
        stream.stride = resource->components * 4;
    }
    stream.buffer = resource;
    stream.usage = usage;
    stream.usageIndex = usageIndex;
}

void D3d9Renderer::BindPositions(Buffer* buffer) {
    Bind(kPositionSlot, buffer, D3DDECLUSAGE_POSITION, 0);
    // A single float per vertex is no position the pipeline can read.
    if (streams_[kPositionSlot].buffer && streams_[kPositionSlot].buffer->components < 2)
        streams_[kPositionSlot] = Stream{};
    vertexCount_ = streams_[kPositionSlot].buffer ? streams_[kPositionSlot].buffer->count : 0;
}

void D3d9Renderer::BindTexCoords(Buffer* buffer, int setIndex) {
    if (setIndex < 0 || setIndex >= 8) return;
    Bind(StreamSlot(kTexCoordSlot + setIndex), buffer, D3DDECLUSAGE_TEXCOORD, BYTE(setIndex));
}

void D3d9Renderer::BindColors(ColorBuffer* buffer) {
    Bind(kColorSlot, buffer, D3DDECLUSAGE_COLOR, 0, true);
}

void D3d9Renderer::BindPointSizes(FloatBuffer* buffer) {
    Bind(kSizeSlot, buffer, D3DDECLUSAGE_PSIZE, 0);
}

void D3d9Renderer::BindNormals(Vector3Buffer* buffer) {
    Bind(kNormalSlot, buffer, D3DDECLUSAGE_NORMAL, 0);
}

void D3d9Renderer::BindBlendWeights(Vector4Buffer* buffer) {
    Bind(kWeightSlot, buffer, D3DDECLUSAGE_BLENDWEIGHT, 0);
}

void D3d9Renderer::BindBlendIndices(Vector4Buffer* buffer) {
    Bind(kBoneSlot, buffer, D3DDECLUSAGE_BLENDINDICES, 0);
}

void D3d9Renderer::BindIndices(IntBuffer* buffer) {
    indices_ = BufferObject(buffer, true);
}

// --- Textures --------------------------------------------------------------------------------

IUnknown* D3d9Renderer::UploadTexture(const Image& image, bool compress, int levels, int& created) {
    const D3DFORMAT format = SampledFormat(image.GetFormat());
    if (!image.HasPixels() || format == D3DFMT_UNKNOWN) return nullptr;
    const int w = image.GetWidth(), h = image.GetHeight();
    const int full = FullChain(w, h);
    const UINT count = UINT(levels <= 0 || levels > full ? full : levels);
    const Texels top = FromImage(image.GetPixels(), w, h, image.GetFormat());
    // Compressed blocks are 4 x 4 texels: other sizes, and a failed compression, stay uncompressed.
    const bool dxt = compress && image.GetFormat() == Image::kRgb && GetCaps().dxt[0] && d3dx_.IsOpen() &&
                     w % 4 == 0 && h % 4 == 0;
    IDirect3DTexture9* texture = nullptr;
    if (!dxt) {
        if (FAILED(device_->CreateTexture(UINT(w), UINT(h), count, 0, format, D3DPOOL_MANAGED, &texture, nullptr)))
            return nullptr;
        if (!FillTexture(texture, top)) D3d9Support::SafeRelease(texture);
    } else {
        // Filled uncompressed in system memory; the library's converter compresses each level.
        IDirect3DTexture9* system = nullptr;
        if (FAILED(device_->CreateTexture(UINT(w), UINT(h), count, 0, format, D3DPOOL_SYSTEMMEM, &system, nullptr))) {
            LogError("Невозможно создать системную текстуру для обновления изображения текстуры [%s].",
                     image.GetName().GetText());
            return nullptr;
        }
        bool ok = FillTexture(system, top) &&
                  SUCCEEDED(device_->CreateTexture(UINT(w), UINT(h), count, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &texture,
                                                   nullptr));
        for (DWORD l = 0; ok && l < texture->GetLevelCount(); ++l) {
            IDirect3DSurface9* from = nullptr;
            IDirect3DSurface9* to = nullptr;
            system->GetSurfaceLevel(l, &from);
            texture->GetSurfaceLevel(l, &to);
            ok = d3dx_.LoadSurface(to, from);
            D3d9Support::SafeRelease(from);
            D3d9Support::SafeRelease(to);
        }
        D3d9Support::SafeRelease(system);
        if (!ok) {
            D3d9Support::SafeRelease(texture);
            return UploadTexture(image, false, levels, created);
        }
    }
    if (texture) created = int(texture->GetLevelCount());
    return texture;
}

IUnknown* D3d9Renderer::UploadCube(const Image& image, int& created) {
    const auto* faces = dynamic_cast<const VolumeImage*>(&image);
    const D3DFORMAT format = faces ? SampledFormat(faces->GetFormat()) : D3DFMT_UNKNOWN;
    if (!faces || faces->GetDepth() != 6 || !faces->HasPixels() || faces->GetWidth() != faces->GetHeight() ||
        format == D3DFMT_UNKNOWN)
        return nullptr;
    const int edge = faces->GetWidth();
    IDirect3DCubeTexture9* cube = nullptr;
    if (FAILED(device_->CreateCubeTexture(UINT(edge), 0, 0, format, D3DPOOL_MANAGED, &cube, nullptr))) return nullptr;
    for (int face = 0; face < 6 && cube; ++face) {
        Texels level = FromImage(faces->GetPixels() + size_t(faces->GetSliceSize()) * size_t(face), edge, edge,
                                 faces->GetFormat());
        for (DWORD l = 0; l < cube->GetLevelCount(); ++l) {
            D3DLOCKED_RECT rect{};
            if (FAILED(cube->LockRect(D3DCUBEMAP_FACES(face), l, &rect, nullptr, 0))) {
                D3d9Support::SafeRelease(cube);
                break;
            }
            CopyToRect(rect, level);
            cube->UnlockRect(D3DCUBEMAP_FACES(face), l);
            if (l + 1 < cube->GetLevelCount()) level = HalfSize(level);
        }
    }
    if (cube) created = int(cube->GetLevelCount());
    return cube;
}

IUnknown* D3d9Renderer::UploadVolume(const Image& image, int& created) {
    const auto* volume = dynamic_cast<const VolumeImage*>(&image);
    const D3DFORMAT format = volume ? SampledFormat(volume->GetFormat()) : D3DFMT_UNKNOWN;
    if (!volume || volume->GetDepth() <= 0 || !volume->HasPixels() || format == D3DFMT_UNKNOWN) return nullptr;
    const int w = volume->GetWidth(), h = volume->GetHeight(), d = volume->GetDepth();
    // One level: the noise volumes are read at their own size.
    IDirect3DVolumeTexture9* texture = nullptr;
    if (FAILED(device_->CreateVolumeTexture(UINT(w), UINT(h), UINT(d), 1, 0, format, D3DPOOL_MANAGED, &texture,
                                            nullptr)))
        return nullptr;
    D3DLOCKED_BOX box{};
    if (FAILED(texture->LockBox(0, &box, nullptr, 0))) {
        D3d9Support::SafeRelease(texture);
        return nullptr;
    }
    for (int z = 0; z < d; ++z) {
        const Texels slice =
            FromImage(volume->GetPixels() + size_t(volume->GetSliceSize()) * size_t(z), w, h, volume->GetFormat());
        D3DLOCKED_RECT rect{box.RowPitch, static_cast<uint8_t*>(box.pBits) + size_t(z) * size_t(box.SlicePitch)};
        CopyToRect(rect, slice);
    }
    texture->UnlockBox(0);
    created = 1;
    return texture;
}

D3d9Renderer::Resource* D3d9Renderer::TextureObject(BaseTexture* texture) {
    if (!texture || !device_) return nullptr;
    const int32_t id = texture->GetId();
    Resource* resource = Find(id);
    // Targets and shadow maps hold what was drawn into them; they are never uploaded.
    if (resource && (resource->kind == Kind::kTarget || resource->kind == Kind::kCubeTarget ||
                     resource->kind == Kind::kShadowMap))
        return resource;
    if (resource && !texture->IsDirty()) return resource;
    Kind kind = Kind::kTexture;
    const Image* image = nullptr;
    bool compress = false;
    if (auto* plain = dynamic_cast<Texture*>(texture)) {
        image = plain->GetImage();
        compress = plain->GetAllowCompression();
    } else if (auto* cube = dynamic_cast<CubeTexture*>(texture)) {
        kind = Kind::kCube;
        image = cube->GetImage();
    } else if (auto* volume = dynamic_cast<VolumeTexture*>(texture)) {
        kind = Kind::kVolume;
        image = volume->GetImage();
    }
    if (!image || !image->HasPixels()) return nullptr;
    int levels = 0;
    IUnknown* object = nullptr;
    switch (kind) {
    case Kind::kCube: object = UploadCube(*image, levels); break;
    case Kind::kVolume: object = UploadVolume(*image, levels); break;
    default: object = UploadTexture(*image, compress, texture->GetMipmapLevels(), levels); break;
    }
    if (!object) {
        LogError("Невозможно обновить изображение текстуры [%s].", texture->GetName().GetText());
        Release(id);
        return nullptr;
    }
    resource = &Enter(id, kind, &texture->GetResourceLink());
    resource->object = object;
    resource->width = image->GetWidth();
    resource->height = image->GetHeight();
    resource->count = levels;
    resource->link->handle[0] = reinterpret_cast<uintptr_t>(object);
    resource->link->dirty = 0;
    texture->SetMipmapLevels(levels);
    return resource;
}

void D3d9Renderer::SetTexture(BaseTexture* texture, int stage) {
    if (stage < 0 || stage >= 8 || !device_) return;
    // A texture being drawn into is not read at the same time.
    Resource* resource = IsRenderTarget(texture) ? nullptr : TextureObject(texture);
    if (stage >= GetCaps().textureUnits) resource = nullptr;
    device_->SetTexture(DWORD(stage), resource ? static_cast<IDirect3DBaseTexture9*>(resource->object) : nullptr);
    boundTextures_[stage] = resource ? texture : nullptr;
}

} // namespace nuv
