// The Direct3D 9 renderer's programs, pass state and drawing.
#include "core/Status.h"
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

// --- Programs --------------------------------------------------------------------------------

IUnknown* D3d9Renderer::ShaderObject(Shader* shader, bool vertex) {
    if (!shader || !shader->GetProgramText() || !device_) return nullptr;
    const int32_t id = shader->GetId();
    const Kind kind = vertex ? Kind::kVertexShader : Kind::kPixelShader;
    if (Resource* resource = Find(id); resource && resource->kind == kind && !shader->GetResourceLink().dirty)
        return resource->object;
    std::string key(1, vertex ? 'v' : 'p');
    key.append(shader->GetProgramText(), size_t(std::max(shader->GetProgramLength(), 0)));
    auto known = programs_.find(key);
    if (known == programs_.end()) {
        IUnknown* program = nullptr;
        std::vector<DWORD> code;
        std::string error;
        if (!d3dx_.Assemble(shader->GetProgramText(), shader->GetProgramLength(), code, error)) {
            // The user sees the assembler's own words, once per text; the shader stays unbound.
            LogError("%s", error.c_str());
            ShowMessage(error.c_str());
        } else if (vertex) {
            IDirect3DVertexShader9* vs = nullptr;
            if (SUCCEEDED(device_->CreateVertexShader(code.data(), &vs))) program = vs;
        } else {
            IDirect3DPixelShader9* ps = nullptr;
            if (SUCCEEDED(device_->CreatePixelShader(code.data(), &ps))) program = ps;
        }
        known = programs_.emplace(std::move(key), program).first;
    }
    Resource& resource = Enter(id, kind, &shader->GetResourceLink());
    resource.object = known->second;
    resource.link->handle[0] = reinterpret_cast<uintptr_t>(known->second);
    resource.link->dirty = 0;
    return known->second;
}

void D3d9Renderer::SetVertexShader(VertexShader* shader) {
    vertexShader_ = ShaderObject(shader, true);
}

void D3d9Renderer::SetPixelShader(PixelShader* shader) {
    pixelShader_ = ShaderObject(shader, false);
}

void D3d9Renderer::SetVertexConstants(int firstRegister, const float* values, int registerCount) {
    if (!device_ || !values || firstRegister < 0 || registerCount <= 0 || firstRegister >= 256) return;
    registerCount = std::min(registerCount, 256 - firstRegister);
    device_->SetVertexShaderConstantF(UINT(firstRegister), values, UINT(registerCount));
}

void D3d9Renderer::SetPixelConstants(int firstRegister, const float* values, int registerCount) {
    if (!device_ || !values || firstRegister < 0 || registerCount <= 0 || firstRegister >= 32) return;
    registerCount = std::min(registerCount, 32 - firstRegister);
    device_->SetPixelShaderConstantF(UINT(firstRegister), values, UINT(registerCount));
}

// --- Passes and drawing ------------------------------------------------------------------------

void D3d9Renderer::BeginPass(Pass* pass) {
    if (!pass || !device_) return;
    const bool dirty = pass->IsDirty();
    pass->GetResourceLink().dirty = 0;
    block_ = pass->GetStateBlock();
    if (block_) {
        Resource* recorded = Find(block_->GetId());
        if (recorded && dirty) {
            Release(block_->GetId());
            recorded = nullptr;
        }
        if (!recorded) {
            // The block's whole state is recorded once and replayed at every later use.
            const RendererCaps& caps = GetCaps();
            const bool weak =
                caps.vertexLevel == RendererCaps::kLevelNone || caps.pixelLevel == RendererCaps::kLevelNone;
            IDirect3DStateBlock9* state = nullptr;
            if (SUCCEEDED(device_->BeginStateBlock())) {
                D3d9StateMapping::ApplyBlock(*device_, *block_, weak);
                device_->EndStateBlock(&state);
            }
            recorded = &Enter(block_->GetId(), Kind::kState, &block_->GetResourceLink());
            recorded->object = state;
            recorded->link->handle[0] = reinterpret_cast<uintptr_t>(state);
            recorded->link->dirty = 0;
            appliedBlock_ = nullptr;
        }
        if (appliedBlock_ != block_ && recorded->object) {
            static_cast<IDirect3DStateBlock9*>(recorded->object)->Apply();
            ForgetDrawState();
        }
        appliedBlock_ = block_;
    }
    for (int stage = 0; stage < 8; ++stage) {
        if (boundTextures_[stage]) device_->SetTexture(DWORD(stage), nullptr);
        boundTextures_[stage] = nullptr;
    }
    for (Stream& stream : streams_) stream = Stream{};
    vertexCount_ = 0;
    indices_ = nullptr;
    vertexShader_ = pixelShader_ = nullptr;
}

void D3d9Renderer::ForgetDrawState() {
    for (DWORD& op : stageOps_) op = 0;
    for (DWORD& flags : transformFlags_) flags = kUnknownState;
    cullMode_ = depthFunction_ = kUnknownState;
}

bool D3d9Renderer::PrepareDraw() {
    if (!streams_[kPositionSlot].buffer) return false;
    // The layout: one element per bound stream, each on a stream of its own.
    D3DVERTEXELEMENT9 elements[kSlotCount + 1];
    std::string key;
    int count = 0;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const Stream& s = streams_[slot];
        if (!s.buffer) continue;
        elements[count] = {WORD(count), 0, s.type, D3DDECLMETHOD_DEFAULT, s.usage, s.usageIndex};
        device_->SetStreamSource(UINT(count), static_cast<IDirect3DVertexBuffer9*>(s.buffer->object), 0,
                                 UINT(s.stride));
        key += char(s.type);
        key += char(s.usage);
        key += char(s.usageIndex);
        ++count;
    }
    elements[count] = D3DDECL_END();
    auto layout = layouts_.find(key);
    if (layout == layouts_.end()) {
        IDirect3DVertexDeclaration9* declaration = nullptr;
        device_->CreateVertexDeclaration(elements, &declaration);
        layout = layouts_.emplace(key, declaration).first;
    }
    if (!layout->second) return false;
    device_->SetVertexDeclaration(layout->second);
    device_->SetVertexShader(static_cast<IDirect3DVertexShader9*>(vertexShader_));
    device_->SetPixelShader(static_cast<IDirect3DPixelShader9*>(pixelShader_));
    device_->SetIndices(indices_ ? static_cast<IDirect3DIndexBuffer9*>(indices_->object) : nullptr);

    // Stages without a texture end the fixed-function cascade, as on a pipeline that skips them.
    int firstEmpty = 8;
    for (int stage = 0; stage < 8; ++stage)
        if (!boundTextures_[stage]) {
            firstEmpty = stage;
            break;
        }
    for (int stage = 0; stage < 8 && block_; ++stage) {
        const DWORD want = stage == firstEmpty ? 1 : 0;
        if (want == stageOps_[stage] || stage > firstEmpty) continue;
        if (want) {
            device_->SetTextureStageState(DWORD(stage), D3DTSS_COLOROP, D3DTOP_DISABLE);
            device_->SetTextureStageState(DWORD(stage), D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        } else {
            D3d9StateMapping::ApplyStage(*device_, stage, block_->stages[stage]);
            transformFlags_[stage] = kUnknownState;
        }
        stageOps_[stage] = want;
    }
    // Texture coordinate transforms: the stage's matrix, generation and projection.
    for (int stage = 0; stage < 8; ++stage) {
        const int32_t generation = block_ ? block_->stages[stage].texCoordGeneration : 0;
        const bool identity = std::memcmp(textureMatrices_[stage].Data(), Matrix4::Identity().Data(), 64) == 0;
        DWORD flags = identity ? D3DTTFF_DISABLE : D3DTTFF_COUNT3;
        if (generation >= RenderStateBlock::kTexGenReflection && generation <= RenderStateBlock::kTexGenSphere)
            flags = D3DTTFF_COUNT3;
        if (generation == RenderStateBlock::kTexGenProjected) flags = D3DTTFF_COUNT3 | D3DTTFF_PROJECTED;
        if (flags != transformFlags_[stage])
            device_->SetTextureStageState(DWORD(stage), D3DTSS_TEXTURETRANSFORMFLAGS, flags);
        transformFlags_[stage] = flags;
    }
    // Draw-time overrides after the recorded state.
    if (block_) {
        const DWORD cull = D3d9StateMapping::Cull(block_->cullEnabled != 0, block_->cullOrder, GetReverseCull());
        if (cull != cullMode_) device_->SetRenderState(D3DRS_CULLMODE, cull);
        cullMode_ = cull;
        // A pass asking for equal depth draws again over what an effect drew before, through
        // another program (or the fixed pipeline); their depths need not be bit-identical, so
        // "equal" is taken as "in front or level, pulled forward by a few depth units".
        const bool nearlyEqual =
            !GetEqualDepth() && !shadowBias_ && block_->depthComparison == RenderStateBlock::kEqual;
        if (nearlyEqual != equalDepthOffset_) {
            device_->SetRenderState(D3DRS_DEPTHBIAS, D3d9StateMapping::FloatBits(nearlyEqual ? -4.0f / 16777216.0f : 0));
            device_->SetRenderState(D3DRS_SLOPESCALEDEPTHBIAS, D3d9StateMapping::FloatBits(nearlyEqual ? -1.0f : 0));
            equalDepthOffset_ = nearlyEqual;
        }
        const DWORD depth = GetEqualDepth() ? D3DCMP_EQUAL
                            : nearlyEqual   ? D3DCMP_LESSEQUAL
                                            : D3d9StateMapping::Comparison(block_->depthComparison);
        if (depth != depthFunction_) device_->SetRenderState(D3DRS_ZFUNC, depth);
        depthFunction_ = depth;
    }
    return true;
}

void D3d9Renderer::DrawRange(int primitiveType, int count, bool indexed) {
    if (count <= 0 || !device_ || lost_) return;
    if (!PrepareDraw()) return;
    const int primitives = PrimitiveCount(primitiveType, count);
    if (primitives <= 0) return;
    const D3DPRIMITIVETYPE type = D3d9StateMapping::Primitive(primitiveType);
    if (indexed)
        device_->DrawIndexedPrimitive(type, 0, 0, UINT(vertexCount_), 0, UINT(primitives));
    else
        device_->DrawPrimitive(type, 0, UINT(primitives));
}

void D3d9Renderer::DrawIndexed() {
    GeometryNode* geometry = GetCurrentGeometry();
    if (!geometry || !device_) return;
    // Indices beyond the vertices would have the device read outside its buffers.
    if (!geometry->HasConsistentBuffers()) return;
    const int type = geometry->GetPrimitiveType();
    if (indices_)
        DrawRange(type, indices_->count, true);
    else
        DrawRange(type, vertexCount_, false);
}

void D3d9Renderer::DrawBuffers(Buffer* positions, IntBuffer* indices, Vector4Buffer* stream2, Vector4Buffer* stream3,
                               Buffer* texCoords) {
    if (!device_ || !positions || !indices) return;
    const int vertices = positions->GetCount();
    const int32_t* list = indices->GetElements();
    for (int i = 0; i < indices->GetCount(); ++i)
        if (list[i] < 0 || list[i] >= vertices) return;
    BindPositions(positions);
    BindTexCoords(texCoords, 0);
    BindTexCoords(stream2, 1);
    BindTexCoords(stream3, 2);
    BindIndices(indices);
    if (!indices_) return;
    GeometryNode* geometry = GetCurrentGeometry();
    DrawRange(geometry ? geometry->GetPrimitiveType() : kTriangleList, indices_->count, true);
}

void D3d9Renderer::DrawPrimitives(int primitiveCount) {
    GeometryNode* geometry = GetCurrentGeometry();
    if (!geometry || !device_ || primitiveCount <= 0) return;
    const int type = geometry->GetPrimitiveType();
    int vertices = primitiveCount;
    switch (type) {
    case kLineList: vertices = primitiveCount * 2; break;
    case kLineStrip: vertices = primitiveCount + 1; break;
    case kTriangleList: vertices = primitiveCount * 3; break;
    case kTriangleStrip: vertices = primitiveCount + 2; break;
    default: break;
    }
    // Never past the bound positions.
    DrawRange(type, std::min(vertices, vertexCount_), false);
}

void D3d9Renderer::Clear(int flags, const Color& color, float depth, int stencil) {
    if (!device_) return;
    DWORD targets = 0;
    if (flags & kClearColor) {
        targets |= D3DCLEAR_TARGET;
        SetClearColor(color);
    }
    // The depth and stencil only where the current target has a depth surface.
    IDirect3DSurface9* depthSurface = nullptr;
    const bool haveDepth = SUCCEEDED(device_->GetDepthStencilSurface(&depthSurface)) && depthSurface;
    D3d9Support::SafeRelease(depthSurface);
    if ((flags & kClearDepth) && haveDepth) targets |= D3DCLEAR_ZBUFFER;
    if ((flags & kClearStencil) && haveDepth) targets |= D3DCLEAR_STENCIL;
    if (targets) device_->Clear(0, nullptr, targets, D3d9StateMapping::Argb(color), depth, DWORD(stencil));
}

int D3d9Renderer::BeginScene() {
    if (!device_) return kStatusFailed;
    const HRESULT state = device_->TestCooperativeLevel();
    if (state == D3DERR_DEVICELOST) {
        // Nothing can be drawn until the device may be reset.
        if (!lost_) ReleaseDefaultPool();
        lost_ = true;
        return kStatusFailed;
    }
    if (state == D3DERR_DEVICENOTRESET && !ResetDevice()) {
        lost_ = true;
        return kStatusFailed;
    }
    if (FAILED(device_->BeginScene())) return kStatusFailed;
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    return kStatusOk;
}

void D3d9Renderer::EndScene() {
    if (!device_) return;
    device_->EndScene();
    if (device_->Present(nullptr, nullptr, nullptr, nullptr) == D3DERR_DEVICELOST) lost_ = true;
}

void D3d9Renderer::SetWorldMatrix(const Matrix4& matrix) {
    world_ = matrix;
    if (device_) device_->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(matrix.Data()));
}

void D3d9Renderer::SetViewMatrix(const Matrix4& matrix) {
    view_ = matrix;
    if (device_) device_->SetTransform(D3DTS_VIEW, reinterpret_cast<const D3DMATRIX*>(matrix.Data()));
}

void D3d9Renderer::SetProjectionMatrix(const Matrix4& matrix) {
    projection_ = matrix;
    if (device_) device_->SetTransform(D3DTS_PROJECTION, reinterpret_cast<const D3DMATRIX*>(matrix.Data()));
}

Matrix4 D3d9Renderer::GetTextureMatrix(int stage) {
    return stage >= 0 && stage < 8 ? textureMatrices_[stage] : Matrix4();
}

void D3d9Renderer::SetTextureMatrix(int stage, const Matrix4& matrix) {
    if (stage < 0 || stage >= 8) return;
    textureMatrices_[stage] = matrix;
    if (device_)
        device_->SetTransform(D3DTRANSFORMSTATETYPE(D3DTS_TEXTURE0 + stage),
                              reinterpret_cast<const D3DMATRIX*>(matrix.Data()));
}

} // namespace nuv
