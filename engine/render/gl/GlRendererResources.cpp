// The OpenGL renderer's device object cache, vertex and index buffers, and textures.
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

// --- The cache -------------------------------------------------------------------------------

GlRenderer::Resource* GlRenderer::Find(int32_t id) {
    auto it = resources_.find(id);
    return it == resources_.end() ? nullptr : &it->second;
}

GlRenderer::Resource& GlRenderer::Enter(int32_t id, Kind kind, ResourceLink& link) {
    Release(id);
    Resource& resource = resources_[id];
    resource.kind = kind;
    resource.link = &link;
    link.renderer = this;
    return resource;
}

void GlRenderer::Release(int32_t id) {
    auto it = resources_.find(id);
    if (it == resources_.end()) return;
    if (indices_ == &it->second) indices_ = nullptr;
    Resource resource = it->second;
    resources_.erase(it);
    if (context_) {
        switch (resource.kind) {
        case Kind::kVertexBuffer:
        case Kind::kIndexBuffer: glDeleteBuffers(1, &resource.name); break;
        case Kind::kShader: break;  // the compiled text stays for the other shaders with it
        case Kind::kQuery: glDeleteQueries(1, &resource.name); break;
        case Kind::kState: break;
        default:
            glDeleteTextures(1, &resource.name);
            for (GLuint& framebuffer : resource.framebuffers)
                if (framebuffer) glDeleteFramebuffers(1, &framebuffer);
            if (resource.depth) glDeleteRenderbuffers(1, &resource.depth);
            break;
        }
    }
    if (resource.link) {
        resource.link->handle[0] = resource.link->handle[1] = 0;
        resource.link->dirty = 1;
        // Last: the link may hold the last reference on this renderer.
        Pointer<DeviceResourceCache> keep = std::move(resource.link->renderer);
    }
}

void GlRenderer::ReleaseAll() {
    // Keeps this renderer alive while the links let go of it (unless it is already going).
    Pointer<DeviceResourceCache> self(GetReferenceCount() > 0 ? this : nullptr);
    while (!resources_.empty()) Release(resources_.begin()->first);
    ReleaseProfileQueries();
    for (auto& program : programs_)
        if (context_ && program.second) glDeleteProgram(program.second);
    programs_.clear();
    programUniforms_.clear();
    uploadedProgram_ = 0;
    for (auto& shader : compiledShaders_)
        if (context_ && shader.second) glDeleteShader(shader.second);
    compiledShaders_.clear();
    indices_ = nullptr;
    block_ = nullptr;
    appliedBlock_ = nullptr;
    for (BaseTexture*& texture : boundTextures_) texture = nullptr;
    vertexShader_ = nullptr;
    pixelShader_ = nullptr;
}

void GlRenderer::ReleaseBuffer(Buffer& buffer) {
    Release(buffer.GetId());
}

void GlRenderer::ReleaseTexture(BaseTexture& texture) {
    for (BaseTexture*& bound : boundTextures_)
        if (bound == &texture) bound = nullptr;
    Release(texture.GetId());
}

void GlRenderer::ReleaseShader(Shader& shader) {
    if (vertexShader_ == static_cast<Object*>(&shader)) vertexShader_ = nullptr;
    if (pixelShader_ == static_cast<Object*>(&shader)) pixelShader_ = nullptr;
    Release(shader.GetId());
}

void GlRenderer::ReleasePass(Pass& pass) {
    // Pass state is set anew at every use; nothing is recorded for it.
    if (block_ == pass.GetStateBlock()) block_ = nullptr;
    if (appliedBlock_ == pass.GetStateBlock()) appliedBlock_ = nullptr;
    Release(pass.GetId());
}

void GlRenderer::ReleaseResource(Object& object) {
    if (block_ == static_cast<Object*>(&object)) block_ = nullptr;
    if (appliedBlock_ == static_cast<Object*>(&object)) appliedBlock_ = nullptr;
    Release(object.GetId());
}

// --- Buffers ---------------------------------------------------------------------------------

GlRenderer::Resource* GlRenderer::BufferObject(Buffer* buffer, bool indices) {
    if (!buffer || buffer->GetCount() <= 0 || !buffer->GetData() || !context_) return nullptr;
    const int32_t id = buffer->GetId();
    Resource* resource = Find(id);
    const Kind kind = indices ? Kind::kIndexBuffer : Kind::kVertexBuffer;
    if (resource && resource->kind != kind) {
        Release(id);
        resource = nullptr;
    }
    if (!resource) {
        resource = &Enter(id, kind, buffer->GetResourceLink());
        glGenBuffers(1, &resource->name);
        resource->link->handle[0] = resource->name;
        resource->link->dirty = 1;
    }
    if (!resource->link->dirty) return resource;
    const GLenum target = indices ? GL_ELEMENT_ARRAY_BUFFER : GL_ARRAY_BUFFER;
    glBindBuffer(target, resource->name);
    resource->count = buffer->GetCount();
    resource->components = buffer->GetDataSize() / buffer->GetCount() / int(sizeof(float));
    if (indices) {
        // Short indices wherever they all fit, so nothing is ever cut to its low bits.
        const int32_t* source = static_cast<IntBuffer*>(buffer)->GetElements();
        const int count = buffer->GetCount();
        const bool fits = std::all_of(source, source + count, [](int32_t v) { return v >= 0 && v <= 0xFFFF; });
        if (fits) {
            std::vector<uint16_t> shorts(source, source + count);
            glBufferData(target, GLsizeiptr(count * 2), shorts.data(), GL_STATIC_DRAW);
            resource->indexType = GL_UNSIGNED_SHORT;
        } else {
            glBufferData(target, GLsizeiptr(count * 4), source, GL_STATIC_DRAW);
            resource->indexType = GL_UNSIGNED_INT;
        }
    } else {
        glBufferData(target, buffer->GetDataSize(), buffer->GetData(), GL_STATIC_DRAW);
    }
    resource->link->dirty = 0;
    return resource;
}

void GlRenderer::BindPositions(Buffer* buffer) {
    Resource* resource = BufferObject(buffer, false);
    // A single float per vertex is no position the pipeline can read.
    if (resource && resource->components < 2) resource = nullptr;
    vertexCount_ = resource ? resource->count : 0;
    if (!resource) {
        glDisableClientState(GL_VERTEX_ARRAY);
        return;
    }
    glBindBuffer(GL_ARRAY_BUFFER, resource->name);
    glVertexPointer(std::min(resource->components, 4), GL_FLOAT, resource->components * 4, nullptr);
    glEnableClientState(GL_VERTEX_ARRAY);
}

void GlRenderer::BindTexCoords(Buffer* buffer, int setIndex) {
    if (setIndex < 0 || setIndex >= RenderStateBlock::kStageCount) return;
    if (!buffer && texCoordComponents_[setIndex] == 0) return;
    glClientActiveTexture(GLenum(GL_TEXTURE0 + setIndex));
    Resource* resource = BufferObject(buffer, false);
    texCoordComponents_[setIndex] = resource ? resource->components : 0;
    if (resource && resource->components >= 1 && resource->components <= 4) {
        glBindBuffer(GL_ARRAY_BUFFER, resource->name);
        glTexCoordPointer(resource->components, GL_FLOAT, resource->components * 4, nullptr);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    } else {
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    glClientActiveTexture(GL_TEXTURE0);
}

void GlRenderer::BindColors(ColorBuffer* buffer) {
    // Unlit geometry takes these colours; lit geometry keeps the material's.
    Resource* resource = BufferObject(buffer, false);
    if (!resource) {
        glDisableClientState(GL_COLOR_ARRAY);
        glColor4f(1, 1, 1, 1);
        return;
    }
    glBindBuffer(GL_ARRAY_BUFFER, resource->name);
    glColorPointer(4, GL_FLOAT, 0, nullptr);
    glEnableClientState(GL_COLOR_ARRAY);
}

void GlRenderer::BindNormals(Vector3Buffer* buffer) {
    Resource* resource = BufferObject(buffer, false);
    if (!resource) {
        glDisableClientState(GL_NORMAL_ARRAY);
        return;
    }
    glBindBuffer(GL_ARRAY_BUFFER, resource->name);
    glNormalPointer(GL_FLOAT, 0, nullptr);
    glEnableClientState(GL_NORMAL_ARRAY);
}


void GlRenderer::BindPointSizes(FloatBuffer* buffer) {
    Resource* resource = BufferObject(buffer, false);
    pointSizesBound_ = resource != nullptr;
    if (!resource) {
        glDisableVertexAttribArray(GlSupport::kPointSizeAttribute);
        return;
    }
    glBindBuffer(GL_ARRAY_BUFFER, resource->name);
    glVertexAttribPointer(GlSupport::kPointSizeAttribute, 1, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(GlSupport::kPointSizeAttribute);
}

void GlRenderer::BindBlendWeights(Vector4Buffer* buffer) {
    Resource* resource = BufferObject(buffer, false);
    if (!resource) {
        glDisableVertexAttribArray(GlSupport::kBlendWeightsAttribute);
        return;
    }
    glBindBuffer(GL_ARRAY_BUFFER, resource->name);
    glVertexAttribPointer(GlSupport::kBlendWeightsAttribute, 4, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(GlSupport::kBlendWeightsAttribute);
}

void GlRenderer::BindBlendIndices(Vector4Buffer* buffer) {
    Resource* resource = BufferObject(buffer, false);
    if (!resource) {
        glDisableVertexAttribArray(GlSupport::kBlendIndicesAttribute);
        return;
    }
    glBindBuffer(GL_ARRAY_BUFFER, resource->name);
    glVertexAttribPointer(GlSupport::kBlendIndicesAttribute, 4, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(GlSupport::kBlendIndicesAttribute);
}

void GlRenderer::BindIndices(IntBuffer* buffer) {
    indices_ = BufferObject(buffer, true);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices_ ? indices_->name : 0);
}

// --- Textures --------------------------------------------------------------------------------

bool GlRenderer::UploadTexture(Resource& resource, const Image& image, bool allowCompression, int levels) {
    GLenum internal = 0, external = 0;
    if (!image.HasPixels() || !GlSupport::SampledFormat(image.GetFormat(), internal, external)) return false;
    if (image.GetFormat() == Image::kRgb && allowCompression && GetCaps().dxt[0])
        internal = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
    const int w = image.GetWidth(), h = image.GetHeight();
    const int full = GlSupport::FullChain(w, h);
    const int count = levels <= 0 || levels > full ? full : levels;
    glBindTexture(GL_TEXTURE_2D, resource.name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, count - 1);
    // Only the top level comes from the picture; the driver filters the lower ones from it.
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, count > 1 ? GL_TRUE : GL_FALSE);
    const std::vector<uint8_t> rows = GlSupport::FlippedRows(image.GetPixels(), w, h, Image::GetBytesPerPixel(image.GetFormat()));
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(internal), w, h, 0, external, GL_UNSIGNED_BYTE, rows.data());
    if (internal == GL_COMPRESSED_RGB_S3TC_DXT1_EXT && softwareRasterizer_) StoreDecoded(count);
    resource.width = w;
    resource.height = h;
    resource.mipmapped = count > 1;
    resource.count = count;
    return glGetError() == GL_NO_ERROR;
}

void GlRenderer::StoreDecoded(int levels) {
    // Read back first: the lower levels were made from the compressed top one, and each level
    // keeps exactly the texels a read of the compressed texture gives.
    std::vector<std::vector<uint8_t>> texels(size_t(std::max(levels, 1)));
    std::vector<GLint> widths(texels.size()), heights(texels.size());
    for (size_t level = 0; level < texels.size(); ++level) {
        glGetTexLevelParameteriv(GL_TEXTURE_2D, GLint(level), GL_TEXTURE_WIDTH, &widths[level]);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, GLint(level), GL_TEXTURE_HEIGHT, &heights[level]);
        texels[level].resize(size_t(widths[level]) * size_t(heights[level]) * 3);
        glGetTexImage(GL_TEXTURE_2D, GLint(level), GL_RGB, GL_UNSIGNED_BYTE, texels[level].data());
    }
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_FALSE);
    for (size_t level = 0; level < texels.size(); ++level)
        glTexImage2D(GL_TEXTURE_2D, GLint(level), GL_RGB8, widths[level], heights[level], 0, GL_RGB, GL_UNSIGNED_BYTE,
                     texels[level].data());
}

bool GlRenderer::UploadCube(Resource& resource, const Image& image) {
    const auto* faces = dynamic_cast<const VolumeImage*>(&image);
    GLenum internal = 0, external = 0;
    if (!faces || faces->GetDepth() != 6 || !faces->HasPixels() || faces->GetWidth() != faces->GetHeight() ||
        !GlSupport::SampledFormat(faces->GetFormat(), internal, external))
        return false;
    const int edge = faces->GetWidth();
    const int bpp = Image::GetBytesPerPixel(faces->GetFormat());
    glBindTexture(GL_TEXTURE_CUBE_MAP, resource.name);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_GENERATE_MIPMAP, GL_TRUE);
    for (int face = 0; face < 6; ++face) {
        const std::vector<uint8_t> rows =
            GlSupport::FlippedRows(faces->GetPixels() + size_t(faces->GetSliceSize()) * size_t(face), edge, edge, bpp);
        glTexImage2D(GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face), 0, GLint(internal), edge, edge, 0, external,
                     GL_UNSIGNED_BYTE, rows.data());
    }
    resource.width = resource.height = edge;
    resource.mipmapped = true;
    resource.count = GlSupport::FullChain(edge, edge);
    return glGetError() == GL_NO_ERROR;
}

bool GlRenderer::UploadVolume(Resource& resource, const Image& image) {
    const auto* volume = dynamic_cast<const VolumeImage*>(&image);
    GLenum internal = 0, external = 0;
    if (!volume || volume->GetDepth() <= 0 || !volume->HasPixels() ||
        !GlSupport::SampledFormat(volume->GetFormat(), internal, external))
        return false;
    const int w = volume->GetWidth(), h = volume->GetHeight(), d = volume->GetDepth();
    const int bpp = Image::GetBytesPerPixel(volume->GetFormat());
    std::vector<uint8_t> slices;
    slices.reserve(size_t(volume->GetDataSize()));
    for (int z = 0; z < d; ++z) {
        const std::vector<uint8_t> rows =
            GlSupport::FlippedRows(volume->GetPixels() + size_t(volume->GetSliceSize()) * size_t(z), w, h, bpp);
        slices.insert(slices.end(), rows.begin(), rows.end());
    }
    glBindTexture(GL_TEXTURE_3D, resource.name);
    glTexParameteri(GL_TEXTURE_3D, GL_GENERATE_MIPMAP, GL_TRUE);
    glTexImage3D(GL_TEXTURE_3D, 0, GLint(internal), w, h, d, 0, external, GL_UNSIGNED_BYTE, slices.data());
    resource.width = w;
    resource.height = h;
    resource.mipmapped = true;
    resource.count = GlSupport::FullChain(w, h, d);
    return glGetError() == GL_NO_ERROR;
}

GlRenderer::Resource* GlRenderer::TextureObject(BaseTexture* texture) {
    if (!texture || !context_) return nullptr;
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
    if (!resource) {
        resource = &Enter(id, kind, texture->GetResourceLink());
        glGenTextures(1, &resource->name);
        resource->link->handle[0] = resource->name;
    }
    glGetError();
    bool uploaded = false;
    switch (kind) {
    case Kind::kCube: uploaded = UploadCube(*resource, *image); break;
    case Kind::kVolume: uploaded = UploadVolume(*resource, *image); break;
    default: uploaded = UploadTexture(*resource, *image, compress, texture->GetMipmapLevels()); break;
    }
    if (!uploaded) {
        LogError("Невозможно обновить изображение текстуры [%s].", texture->GetName().GetText());
        Release(id);
        return nullptr;
    }
    texture->SetMipmapLevels(resource->count);
    resource->link->dirty = 0;
    return resource;
}

void GlRenderer::SetTexture(BaseTexture* texture, int stage) {
    if (stage < 0 || stage >= textureUnits_ || !context_) return;
    if (!texture && !boundTextures_[stage]) return;
    glActiveTexture(GLenum(GL_TEXTURE0 + stage));
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_CUBE_MAP);
    glDisable(GL_TEXTURE_3D);
    boundTextures_[stage] = nullptr;
    // A texture being drawn into is not read at the same time.
    Resource* resource = IsRenderTarget(texture) ? nullptr : TextureObject(texture);
    if (resource) {
        GLenum target = GL_TEXTURE_2D;
        if (resource->kind == Kind::kCube || resource->kind == Kind::kCubeTarget) target = GL_TEXTURE_CUBE_MAP;
        else if (resource->kind == Kind::kVolume) target = GL_TEXTURE_3D;
        glBindTexture(target, resource->name);
        glEnable(target);
        if (block_) GlStateMapping::ApplySampler(block_->stages[stage], target, resource->mipmapped, !softwareRasterizer_);
        if (resource->kind == Kind::kShadowMap) {
            glTexParameteri(target, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_R_TO_TEXTURE);
            glTexParameteri(target, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
        }
        boundTextures_[stage] = texture;
    }
    glActiveTexture(GL_TEXTURE0);
}

} // namespace nuv
