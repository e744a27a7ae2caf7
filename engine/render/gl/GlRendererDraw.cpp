// The OpenGL renderer's programs, pass state and drawing.
#include "core/Status.h"
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

// --- Programs --------------------------------------------------------------------------------

GLuint GlRenderer::CompileShader(Shader& shader, GLenum type) {
    const int32_t id = shader.GetId();
    if (Resource* resource = Find(id)) return resource->name;
    const char* text = shader.GetProgramText();
    if (!text || !context_) return 0;
    const GLint length = shader.GetProgramLength();
    std::string key(1, type == GL_VERTEX_SHADER ? 'v' : 'p');
    key.append(text, size_t(std::max(length, 0)));
    auto known = compiledShaders_.find(key);
    if (known == compiledShaders_.end()) {
        GLuint name = glCreateShader(type);
        glShaderSource(name, 1, &text, &length);
        glCompileShader(name);
        GLint compiled = 0;
        glGetShaderiv(name, GL_COMPILE_STATUS, &compiled);
        if (!compiled) {
            // The user sees the compiler's own words, once per text; the shader stays unbound.
            GLint size = 0;
            glGetShaderiv(name, GL_INFO_LOG_LENGTH, &size);
            std::vector<char> log(size_t(std::max(size, 1)) + 1, '\0');
            glGetShaderInfoLog(name, GLsizei(log.size()), nullptr, log.data());
            glDeleteShader(name);
            name = 0;
            LogError("%s", log.data());
            ShowMessage(log.data());
        }
        known = compiledShaders_.emplace(std::move(key), name).first;
    }
    Resource& resource = Enter(id, Kind::kShader, shader.GetResourceLink());
    resource.name = known->second;
    resource.link->handle[0] = known->second;
    resource.link->dirty = 0;
    return known->second;
}

// The program of the bound vertex and pixel shader pair, linked on first use; 0 for the
// fixed-function pipeline or when either part does not build.
GLuint GlRenderer::ProgramFor() {
    if (!vertexShader_ && !pixelShader_) return 0;
    const GLuint vs = vertexShader_ ? CompileShader(*vertexShader_, GL_VERTEX_SHADER) : 0;
    const GLuint ps = pixelShader_ ? CompileShader(*pixelShader_, GL_FRAGMENT_SHADER) : 0;
    if ((vertexShader_ && !vs) || (pixelShader_ && !ps)) return 0;
    const uint64_t key = (uint64_t(vs) << 32) | uint64_t(ps);
    if (auto it = programs_.find(key); it != programs_.end()) return it->second;
    const GLuint program = glCreateProgram();
    if (vs) glAttachShader(program, vs);
    if (ps) glAttachShader(program, ps);
    glBindAttribLocation(program, GlSupport::kPointSizeAttribute, "nuvPointSize");
    glBindAttribLocation(program, GlSupport::kBlendWeightsAttribute, "nuvBlendWeights");
    glBindAttribLocation(program, GlSupport::kBlendIndicesAttribute, "nuvBlendIndices");
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        GLint size = 0;
        glGetProgramiv(program, GL_INFO_LOG_LENGTH, &size);
        std::vector<char> log(size_t(std::max(size, 1)) + 1, '\0');
        glGetProgramInfoLog(program, GLsizei(log.size()), nullptr, log.data());
        LogError("%s", log.data());
        ShowMessage(log.data());
        glDeleteProgram(program);
        programs_[key] = 0;
        return 0;
    }
    // The register arrays' places, looked up once.
    // The register arrays' places and sizes (the compiler keeps only what a program reads),
    // looked up once.
    UniformArrays arrays;
    arrays.vc = glGetUniformLocation(program, "vc");
    arrays.pc = glGetUniformLocation(program, "pc");
    GLint active = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &active);
    for (GLint u = 0; u < active; ++u) {
        char uniform[16] = {};
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program, GLuint(u), sizeof uniform, nullptr, &size, &type, uniform);
        if (std::strncmp(uniform, "vc", 2) == 0 && (uniform[2] == '\0' || uniform[2] == '[')) arrays.vcSize = size;
        if (std::strncmp(uniform, "pc", 2) == 0 && (uniform[2] == '\0' || uniform[2] == '[')) arrays.pcSize = size;
    }
    programUniforms_[program] = arrays;
    // Sampler sN reads texture unit N.
    glUseProgram(program);
    for (int i = 0; i < RenderStateBlock::kStageCount; ++i) {
        const char name[3] = {'s', char('0' + i), '\0'};
        const GLint location = glGetUniformLocation(program, name);
        if (location >= 0) glUniform1i(location, i);
    }
    programs_[key] = program;
    return program;
}

GLuint GlRenderer::SpriteProgram() {
    if (spriteProgram_ || spriteProgramFailed_) return spriteProgram_;
    // The size of a sprite is its own size times the viewport height over its distance from the
    // eye, as the fixed pipeline scales its one size. With no fragment shader attached the
    // fixed-function texture stages and fog still colour the sprite.
    static const char* const kSource =
        "#version 120\n"
        "attribute float nuvPointSize;\n"
        "uniform float viewportHeight;\n"
        "void main() {\n"
        "    vec4 eye = gl_ModelViewMatrix * gl_Vertex;\n"
        "    gl_Position = gl_ProjectionMatrix * eye;\n"
        "    gl_FrontColor = gl_Color;\n"
        "    gl_BackColor = gl_Color;\n"
        "    gl_TexCoord[0] = gl_TextureMatrix[0] * gl_MultiTexCoord0;\n"
        "    gl_FogFragCoord = abs(eye.z);\n"
        "    gl_PointSize = max(nuvPointSize, 0.0) * viewportHeight / max(length(eye.xyz), 1e-6);\n"
        "}\n";
    const GLuint shader = glCreateShader(GL_VERTEX_SHADER);
    glShaderSource(shader, 1, &kSource, nullptr);
    glCompileShader(shader);
    GLuint program = glCreateProgram();
    glAttachShader(program, shader);
    glBindAttribLocation(program, GlSupport::kPointSizeAttribute, "nuvPointSize");
    glLinkProgram(program);
    glDeleteShader(shader);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        // The sprites keep the fixed pipeline's single size.
        glDeleteProgram(program);
        program = 0;
        spriteProgramFailed_ = true;
        LogWarning("Размеры точек по вершинам недоступны.");
    }
    spriteProgram_ = program;
    return program;
}

void GlRenderer::SetVertexShader(VertexShader* shader) {
    vertexShader_ = shader && shader->GetProgramText() ? shader : nullptr;
}

void GlRenderer::SetPixelShader(PixelShader* shader) {
    pixelShader_ = shader && shader->GetProgramText() ? shader : nullptr;
}

void GlRenderer::SetVertexConstants(int firstRegister, const float* values, int registerCount) {
    if (!values || firstRegister < 0 || registerCount <= 0 || firstRegister >= 256) return;
    registerCount = std::min(registerCount, 256 - firstRegister);
    std::memcpy(vertexConstants_ + firstRegister * 4, values, size_t(registerCount) * 16);
    vertexDirty_.Add(firstRegister, firstRegister + registerCount);
}

void GlRenderer::SetPixelConstants(int firstRegister, const float* values, int registerCount) {
    if (!values || firstRegister < 0 || registerCount <= 0 || firstRegister >= 32) return;
    registerCount = std::min(registerCount, 32 - firstRegister);
    std::memcpy(pixelConstants_ + firstRegister * 4, values, size_t(registerCount) * 16);
    pixelDirty_.Add(firstRegister, firstRegister + registerCount);
}

// --- Passes and drawing ------------------------------------------------------------------------

void GlRenderer::BeginPass(Pass* pass) {
    if (!pass || !context_) return;
    // Every state of the block is set at each use, so a dirty pass needs nothing recorded anew.
    // The state of the block last set stays on the device until something else changes it:
    // another block, a refreshed pass, a clear, or the gamma pass.
    const bool changed = pass->IsDirty() || pass->GetStateBlock() != appliedBlock_;
    pass->GetResourceLink().dirty = 0;
    block_ = pass->GetStateBlock();
    // Linked, so that a block that goes tells this renderer and its address is never taken
    // for a later block's.
    if (block_ && !Find(block_->GetId())) Enter(block_->GetId(), Kind::kState, block_->GetResourceLink());
    const RendererCaps& caps = GetCaps();
    const bool weak = caps.vertexLevel == RendererCaps::kLevelNone || caps.pixelLevel == RendererCaps::kLevelNone;
    if (block_ && changed) GlStateMapping::ApplyBlock(*block_, weak, textureUnits_);
    appliedBlock_ = block_;
    for (int stage = 0; stage < RenderStateBlock::kStageCount; ++stage) {
        SetTexture(nullptr, stage);
        BindTexCoords(nullptr, stage);
    }
    vertexShader_ = nullptr;
    pixelShader_ = nullptr;
    BindColors(nullptr);
    BindNormals(nullptr);
    BindPointSizes(nullptr);
    BindBlendWeights(nullptr);
    BindBlendIndices(nullptr);
    BindIndices(nullptr);
}

void GlRenderer::PrepareDraw() {
    GLuint program = ProgramFor();
    const bool ownRegisters = program != 0;
    const bool spriteSizes = !program && pointSizesBound_ && block_ && block_->pointSpritesEnabled;
    if (spriteSizes) program = SpriteProgram();
    LoadProjection(ownRegisters);
    LoadTextureMatrices();
    glMatrixMode(GL_MODELVIEW);
    const Matrix4 modelView = world_ * view_;
    glLoadMatrixf(modelView.Data());

    // Draw-time overrides after the pass state.
    if (block_) ApplyDrawOverrides(*block_);
    UseProgram(program, ownRegisters);
}

// ownRegisters: the bound program transforms with its own registers.
void GlRenderer::LoadProjection(bool ownRegisters) {
    glMatrixMode(GL_PROJECTION);
    const bool inTarget = GetRenderTargetDepth() > 0;
    // Programs transform with their own registers and read from the sign of the projection's
    // second diagonal entry whether they draw into a target; that sign must not depend on what
    // the fixed-function projection happens to be.
    const Matrix4& base = ownRegisters ? Matrix4::Identity() : projection_;
    const Matrix4 projection = inTarget ? base * GlSupport::kDepthToGl * GlSupport::kFlipY : base * GlSupport::kDepthToGl;
    glLoadMatrixf(projection.Data());
    glFrontFace(inTarget ? GL_CCW : GL_CW);
}

void GlRenderer::LoadTextureMatrices() {
    glMatrixMode(GL_TEXTURE);
    for (int stage = 0; stage < textureUnits_; ++stage) {
        const RenderStateBlock::TextureStage* s = block_ ? &block_->stages[stage] : nullptr;
        const Matrix4& m = textureMatrices_[stage];
        const bool projected = s && s->texCoordGeneration == 5;
        const unsigned bit = 1u << stage;
        if (GlSupport::IsIdentity(m)) {
            if (textureMatrixSet_ & bit) {
                glActiveTexture(GLenum(GL_TEXTURE0 + stage));
                glLoadIdentity();
                textureMatrixSet_ &= ~bit;
            }
            continue;
        }
        textureMatrixSet_ |= bit;
        glActiveTexture(GLenum(GL_TEXTURE0 + stage));
        // Two given coordinates enter as (u, v, 1), so a 2D offset lives in the third row.
        Matrix4 t = m;
        if (texCoordComponents_[stage] == 2 && (!s || s->texCoordGeneration == 0)) {
            const Matrix4 lift(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0);
            t = lift * m;
        }
        // Three coordinates come out; projected ones are divided by the third.
        for (int r = 0; r < 4; ++r) t.m[r][3] = projected ? t.m[r][2] : (r == 3 ? 1.0f : 0.0f);
        glLoadMatrixf(t.Data());
    }
    glActiveTexture(GL_TEXTURE0);
}

// Culling as the renderer's reverse flag turns it, and the depth test's equal-depth handling.
void GlRenderer::ApplyDrawOverrides(const RenderStateBlock& block) {
    const bool reverse = block.cullEnabled && GetReverseCull();
    glCullFace((block.cullOrder == 0) != reverse ? GL_FRONT : GL_BACK);
    const bool nearlyEqual =
        !GetEqualDepth() && !shadowBias_ && block.depthComparison == RenderStateBlock::kEqual;
    if (nearlyEqual != equalDepthOffset_) {
        if (nearlyEqual) {
            glEnable(GL_POLYGON_OFFSET_FILL);
            glPolygonOffset(-1.0f, -4.0f);
        } else {
            glPolygonOffset(0, 0);
            glDisable(GL_POLYGON_OFFSET_FILL);
        }
        equalDepthOffset_ = nearlyEqual;
    }
    glDepthFunc(GetEqualDepth() ? GL_EQUAL
                : nearlyEqual   ? GL_LEQUAL
                                : GlStateMapping::Comparison(block.depthComparison));
}

// Binds program (0: the fixed-function pipeline) with its point size and its registers.
void GlRenderer::UseProgram(GLuint program, bool ownRegisters) {
    if (program || programInUse_) glUseProgram(program);
    programInUse_ = program != 0;
    const bool pointSize = program != 0 && program == spriteProgram_;
    if (pointSize != programPointSize_) {
        if (pointSize) glEnable(GL_VERTEX_PROGRAM_POINT_SIZE);
        else glDisable(GL_VERTEX_PROGRAM_POINT_SIZE);
        programPointSize_ = pointSize;
    }
    if (pointSize) glUniform1f(glGetUniformLocation(program, "viewportHeight"), GLfloat(viewportHeight_));
    if (ownRegisters) UploadConstants(program);
}

void GlRenderer::UploadConstants(GLuint program) {
    // A program keeps its uniforms: the registers set since its last draw are all it needs, while
    // a program met after another takes every register set so far.
    const auto found = programUniforms_.find(program);
    if (found == programUniforms_.end()) return;
    if (program != uploadedProgram_) {
        vertexDirty_ = {0, vertexDirty_.everHigh, vertexDirty_.everHigh};
        pixelDirty_ = {0, pixelDirty_.everHigh, pixelDirty_.everHigh};
        uploadedProgram_ = program;
    }
    const UniformArrays& a = found->second;
    auto upload = [](GLint location, int size, const DirtyRange& dirty, const float* values) {
        const int high = std::min(dirty.high, size);
        if (location >= 0 && high > dirty.low)
            glUniform4fv(location + dirty.low, high - dirty.low, values + dirty.low * 4);
    };
    upload(a.vc, a.vcSize, vertexDirty_, vertexConstants_);
    upload(a.pc, a.pcSize, pixelDirty_, pixelConstants_);
    vertexDirty_.low = vertexDirty_.high = 0;
    pixelDirty_.low = pixelDirty_.high = 0;
}

void GlRenderer::DrawRange(int primitiveType, int count, bool indexed) {
    if (count <= 0) return;
    PrepareDraw();
    const GLenum mode = GlStateMapping::Primitive(primitiveType);
    if (indexed) glDrawElements(mode, count, indices_->indexType, nullptr);
    else glDrawArrays(mode, 0, count);
}

void GlRenderer::DrawIndexed() {
    GeometryNode* geometry = GetCurrentGeometry();
    if (!geometry || !context_) return;
    // Indices beyond the vertices would have the device read outside its buffers.
    if (!geometry->HasConsistentBuffers()) return;
    const int type = geometry->GetPrimitiveType();
    if (indices_) {
        const int primitives = PrimitiveCount(type, indices_->count);
        const int used = type == kTriangleList ? primitives * 3 : type == kLineList ? primitives * 2 : indices_->count;
        DrawRange(type, primitives > 0 ? used : 0, true);
    } else {
        DrawRange(type, vertexCount_, false);
    }
}

void GlRenderer::DrawBuffers(Buffer* positions, IntBuffer* indices, Vector4Buffer* stream2, Vector4Buffer* stream3,
                             Buffer* texCoords) {
    if (!context_ || !positions || !indices) return;
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
    const int type = geometry ? geometry->GetPrimitiveType() : kTriangleList;
    const int primitives = PrimitiveCount(type, indices_->count);
    const int used = type == kTriangleList ? primitives * 3 : type == kLineList ? primitives * 2 : indices_->count;
    DrawRange(type, primitives > 0 ? used : 0, true);
}

void GlRenderer::DrawPrimitives(int primitiveCount) {
    GeometryNode* geometry = GetCurrentGeometry();
    if (!geometry || !context_ || primitiveCount <= 0) return;
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

void GlRenderer::Clear(int flags, const Color& color, float depth, int stencil) {
    if (!context_) return;
    GLbitfield mask = 0;
    if (flags & kClearColor) {
        glClearColor(color.r, color.g, color.b, color.a);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        mask |= GL_COLOR_BUFFER_BIT;
        SetClearColor(color);
    }
    if (flags & kClearDepth) {
        glClearDepth(depth);
        glDepthMask(GL_TRUE);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (flags & kClearStencil) {
        glClearStencil(stencil);
        glStencilMask(~0u);
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    if (mask) glClear(mask);
    // The masks opened for the clear belong to no block: the next pass sets its own again.
    appliedBlock_ = nullptr;
}

int GlRenderer::BeginScene() {
    if (!context_) return kStatusFailed;
    SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window_), static_cast<SDL_GLContext>(context_));
    if (foreignWindow_ && GetRenderTargetDepth() == 0) {
        // Nothing reports the size of a window given by id: it is asked each frame.
        int w = 0, h = 0;
        GetSystemWindowSize(window_, &w, &h);
        if (w > 0 && h > 0 && (w != backWidth_ || h != backHeight_)) {
            backWidth_ = viewportWidth_ = w;
            backHeight_ = viewportHeight_ = h;
            glViewport(0, 0, w, h);
        }
    }
    // A GL context is never lost: the frame can always be drawn.
    glDisable(GL_LIGHTING);
    return kStatusOk;
}

void GlRenderer::EndScene() {
    if (!context_) return;
    if (gammaOnFrame_ && GetRenderTargetDepth() == 0) ApplyGammaToFrame();
    SDL_GL_SwapWindow(static_cast<SDL_Window*>(window_));
}

Matrix4 GlRenderer::GetTextureMatrix(int stage) {
    return stage >= 0 && stage < 8 ? textureMatrices_[stage] : Matrix4();
}

void GlRenderer::SetTextureMatrix(int stage, const Matrix4& matrix) {
    if (stage >= 0 && stage < 8) textureMatrices_[stage] = matrix;
}

} // namespace nuv
