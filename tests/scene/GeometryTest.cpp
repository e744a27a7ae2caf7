#include "../core/TestSupport.h"

#include "core/ColorBuffer.h"
#include "core/FloatBuffer.h"
#include "core/IntBuffer.h"
#include "core/Stream.h"
#include "core/Vector2Buffer.h"
#include "core/Vector3Buffer.h"
#include "core/Vector4Buffer.h"
#include "render/GeometryNodeEffect.h"
#include "render/Pass.h"
#include "render/Renderer.h"
#include "render/Technique.h"
#include "scene/Light.h"
#include "scene/Lines.h"
#include "scene/Points.h"
#include "scene/SphereBoundingVolume.h"
#include "scene/StripLines.h"
#include "scene/Triangles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace nuv {

namespace {

// Every double appends to this trace.
std::string trace;

// A pass whose Apply answers as told.
class ProbePass : public Pass {
public:
    explicit ProbePass(int index) : index_(index) {}
    int Apply() override {
        trace += "apply" + std::to_string(index_) + " ";
        return index_ == refused ? 1 : 0;
    }
    static inline int refused = -1;

private:
    int index_;
};

class ProbeTechnique : public Technique {
public:
    bool IsSupported() override { return supported; }
    int Refresh() override {
        ++refreshes;
        return Technique::Refresh();
    }
    bool supported = true;
    int refreshes = 0;
};

} // namespace

// A geometry effect with one technique of a chosen number of passes.
class ProbeEffect : public GeometryNodeEffect {
    NUV_DECLARE_OBJECT
public:
    ProbeEffect() { SetPasses(1); }
    void SetPasses(int passes, bool supported = true) {
        technique = new ProbeTechnique;
        technique->supported = supported;
        for (int i = 0; i < passes; ++i) technique->AddPass(Pointer<Pass>(new ProbePass(i)).Get());
        AddTechnique(technique);
    }
    ProbeTechnique* technique = nullptr;  // the last one added
};

NUV_IMPLEMENT_OBJECT(ProbeEffect, GeometryNodeEffect)

namespace {

using test::Loaded;
using test::LogRecorder;
using test::Saved;

// Writes down the device calls a geometry's drawing makes.
class ProbeRenderer : public Renderer {
public:
    void ReleaseBuffer(Buffer&) override {}
    int CreateDevice(int, const String&, void*, int, int, int, int) override { return 0; }
    int DestroyDevice() override { return 0; }
    void ReleaseTexture(BaseTexture&) override {}
    void ReleaseShader(Shader&) override {}
    void ReleasePass(Pass&) override {}
    void ReleaseResource(Object&) override {}
    void BeginQuery(Object*) override {}
    void EndQuery(Object*) override {}
    void SetTexture(BaseTexture*, int) override {}
    void SetVertexShader(VertexShader*) override {}
    void SetVertexConstants(int, const float*, int) override {}
    void SetPixelShader(PixelShader*) override {}
    void SetPixelConstants(int, const float*, int) override {}
    void BindTexCoords(Buffer*, int) override {}
    void BindColors(ColorBuffer*) override {}
    void BindPositions(Buffer*) override {}
    void BindPointSizes(FloatBuffer*) override {}
    void BindNormals(Vector3Buffer*) override {}
    void BindBlendWeights(Vector4Buffer*) override {}
    void BindBlendIndices(Vector4Buffer*) override {}
    void BindIndices(IntBuffer*) override {}
    void BeginPass(Pass*) override {}
    void DrawIndexed() override { trace += "draw "; }
    void DrawBuffers(Buffer*, IntBuffer*, Vector4Buffer*, Vector4Buffer*, Buffer*) override {}
    void DrawPrimitives(int) override {}
    void Clear(int, const Color&, float, int) override {}
    int BeginScene() override { return 0; }
    void EndScene() override {}
    Matrix4 GetWorldMatrix() override { return {}; }
    void SetWorldMatrix(const Matrix4&) override {}
    Matrix4 GetViewMatrix() override { return {}; }
    void SetViewMatrix(const Matrix4&) override {}
    Matrix4 GetProjectionMatrix() override { return {}; }
    void SetProjectionMatrix(const Matrix4&) override {}
    Matrix4 GetTextureMatrix(int) override { return {}; }
    void SetTextureMatrix(int, const Matrix4&) override {}
    void EnableLight(Light*) override { trace += "light "; }
    void DisableLight() override { trace += "unlight "; }
    void SetCubeRenderTarget(int, CubeTexture*) override {}
    void SetRenderTarget(BaseTexture*) override {}
    void SetShadowmapTarget(BaseTexture*, int, float) override {}
    int GetViewportWidth() override { return 0; }
    int GetViewportHeight() override { return 0; }
    void SetViewport(const Vector2&, const Vector2&) override {}
    void SetGamma(int) override {}
    bool ReadFrame(int&, int&, std::vector<uint8_t>&) override { return false; }
    int GetQueryResult(const Object*) const override { return -1; }

protected:
    void ShowMessageBox(const char*) override {}
};

Pointer<Vector3Buffer> Positions(std::vector<Vector3> points) {
    Pointer<Vector3Buffer> buffer(new Vector3Buffer(int(points.size())));
    std::copy(points.begin(), points.end(), buffer->GetElements());
    return buffer;
}

Pointer<IntBuffer> Indices(std::vector<int32_t> indices) {
    Pointer<IntBuffer> buffer(new IntBuffer(int(indices.size())));
    std::copy(indices.begin(), indices.end(), buffer->GetElements());
    return buffer;
}

Pointer<Vector2Buffer> Uvs(std::vector<Vector2> uvs) {
    Pointer<Vector2Buffer> buffer(new Vector2Buffer(int(uvs.size())));
    std::copy(uvs.begin(), uvs.end(), buffer->GetElements());
    return buffer;
}

void ExpectNear(const Vector3& actual, const Vector3& expected, const char* what) {
    EXPECT_NEAR(actual.x, expected.x, 1e-5f) << what;
    EXPECT_NEAR(actual.y, expected.y, 1e-5f) << what;
    EXPECT_NEAR(actual.z, expected.z, 1e-5f) << what;
}

// Cube with four own corners per face, each face wound so that (v1 − v0) × (v2 − v0) points out.
struct Cube {
    std::vector<Vector3> points;
    std::vector<int32_t> indices;
    std::vector<Vector3> faceNormal;  // per vertex
};

Cube MakeCube() {
    Cube cube;
    const Vector3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int axis = 0; axis < 3; ++axis) {
        for (float sign : {1.0f, -1.0f}) {
            const Vector3 n = axes[axis] * sign;
            // a × b = n: a and b are the next two axes in cyclic order, b flipped for −n.
            const Vector3 a = axes[(axis + 1) % 3];
            const Vector3 b = axes[(axis + 2) % 3] * sign;
            const Vector3 origin = n - a - b;
            const int32_t base = int32_t(cube.points.size());
            for (const Vector3& corner : {origin, origin + a * 2, origin + a * 2 + b * 2, origin + b * 2}) {
                cube.points.push_back(corner);
                cube.faceNormal.push_back(n);
            }
            for (int32_t i : {0, 1, 2, 0, 2, 3}) cube.indices.push_back(base + i);
        }
    }
    return cube;
}

TEST(Geometry, CubeNormalsAreTheFaceNormals) {
    const Cube cube = MakeCube();
    Pointer<Triangles> mesh(new Triangles);
    mesh->SetVertices(Positions(cube.points).Get());
    mesh->SetIndices(Indices(cube.indices).Get());
    mesh->ComputeNormals();
    Vector3Buffer* normals = mesh->GetNormals();
    ASSERT_NE(normals, nullptr);
    ASSERT_EQ(normals->GetCount(), 24);
    EXPECT_TRUE(normals->IsDirty());
    for (int i = 0; i < 24; ++i) ExpectNear(normals->GetElements()[i], cube.faceNormal[i], "cube");

    // Asked again, the normals come in a new buffer (the renderer must upload it).
    mesh->ComputeNormals();
    EXPECT_NE(mesh->GetNormals(), normals);
}

TEST(Geometry, SharedVertexNormalsWeighTrianglesByArea) {
    // A big triangle in z = 0 (normal +z, twice its area 8) and a small one in x = 0 sharing the
    // edge 0–1 (normal +x, twice its area 2): the edge vertices get normalise((2, 0, 8)).
    Pointer<Triangles> mesh(new Triangles);
    mesh->SetVertices(Positions({{0, 0, 0}, {0, 2, 0}, {4, 0, 0}, {0, 0, -1}, {9, 9, 9}}).Get());
    // The last two indices are not a whole triangle and are ignored.
    mesh->SetIndices(Indices({0, 1, 2, 1, 0, 3, 4, 4}).Get());
    mesh->ComputeNormals();
    const Vector3* n = mesh->GetNormals()->GetElements();
    const Vector3 big = Cross(Vector3(0, 2, 0), Vector3(4, 0, 0));     // (0, 0, −8)
    const Vector3 small = Cross(Vector3(0, -2, 0), Vector3(0, -2, -1));  // (2, 0, 0)
    ExpectNear(n[0], (big + small).Normalized(), "shared 0");
    ExpectNear(n[1], (big + small).Normalized(), "shared 1");
    ExpectNear(n[2], big.Normalized(), "big only");
    ExpectNear(n[3], small.Normalized(), "small only");
    EXPECT_EQ(n[4], Vector3(0, 0, 0));
}

TEST(Geometry, DegenerateAndDamagedTrianglesAddNothing) {
    LogRecorder log;
    Pointer<Triangles> mesh(new Triangles);
    // Triangle 0 is degenerate, triangle 1 is fine, triangle 2 names vertices that do not exist.
    mesh->SetVertices(Positions({{1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}}).Get());
    mesh->SetIndices(Indices({0, 1, 2, 3, 4, 5, 3, 1000000, -7}).Get());
    mesh->ComputeNormals();
    const Vector3* n = mesh->GetNormals()->GetElements();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(n[i], Vector3(0, 0, 0)) << i;
    for (int i = 3; i < 6; ++i) {
        EXPECT_FALSE(std::isnan(n[i].x) || std::isnan(n[i].y) || std::isnan(n[i].z));
        ExpectNear(n[i], {0, 0, 1}, "valid triangle");
    }

    // No indices, or positions that are not three floats: nothing is generated.
    Pointer<Triangles> bare(new Triangles);
    bare->SetVertices(Positions({{0, 0, 0}}).Get());
    bare->ComputeNormals();
    EXPECT_EQ(bare->GetNormals(), nullptr);
    bare->SetVertices(Pointer<Vector4Buffer>(new Vector4Buffer(3)).Get());
    bare->SetIndices(Indices({0, 1, 2}).Get());
    bare->ComputeNormals();
    EXPECT_EQ(bare->GetNormals(), nullptr);
}

TEST(Geometry, TangentsFollowTextureU) {
    // A quad in z = 0: with u along +x the tangents are +x; with u along −y they are −y.
    const std::vector<Vector3> quad = {{0, 0, 0}, {2, 0, 0}, {2, 3, 0}, {0, 3, 0}};
    Pointer<Triangles> mesh(new Triangles);
    mesh->SetVertices(Positions(quad).Get());
    mesh->SetIndices(Indices({0, 1, 2, 0, 2, 3}).Get());
    mesh->SetTexCoords(0, Uvs({{0, 0}, {1, 0}, {1, 1}, {0, 1}}).Get());
    mesh->ComputeTangents(0);
    ASSERT_NE(mesh->GetTangents(), nullptr);
    ASSERT_EQ(mesh->GetTangents()->GetCount(), 4);
    for (int i = 0; i < 4; ++i) ExpectNear(mesh->GetTangents()->GetElements()[i], {1, 0, 0}, "u along x");

    // Set 3 as Vector4 coordinates: only the first two components count.
    Pointer<Vector4Buffer> wide(new Vector4Buffer(4));
    const Vector4 rotated[4] = {{1, 0, 7, 7}, {1, 1, -7, 3}, {0, 1, 5, 5}, {0, 0, 9, 1}};
    std::copy(rotated, rotated + 4, wide->GetElements());
    mesh->SetTexCoords(3, wide.Get());
    mesh->ComputeTangents(3);
    for (int i = 0; i < 4; ++i) ExpectNear(mesh->GetTangents()->GetElements()[i], {0, -1, 0}, "u along -y");

    // One-component coordinates have no (s, t): the tangents stay as they were.
    Vector3Buffer* before = mesh->GetTangents();
    mesh->SetTexCoords(1, Pointer<FloatBuffer>(new FloatBuffer(4)).Get());
    mesh->ComputeTangents(1);
    mesh->ComputeTangents(2);   // an empty set
    mesh->ComputeTangents(8);   // no such set
    mesh->ComputeTangents(-1);
    EXPECT_EQ(mesh->GetTangents(), before);
}

TEST(Geometry, TangentsSkipTrianglesWithoutTextureArea) {
    // Triangle 0 maps to one texel (no u direction); triangle 1 is well mapped; triangle 2 names
    // a vertex that has a position but no texture coordinate.
    Pointer<Triangles> mesh(new Triangles);
    mesh->SetVertices(Positions({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 0, 0}, {6, 0, 0}, {5, 1, 0}, {9, 9, 0}}).Get());
    mesh->SetIndices(Indices({0, 1, 2, 3, 4, 5, 3, 4, 6}).Get());
    mesh->SetTexCoords(0, Uvs({{0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, 0.5f}, {0, 0}, {1, 0}, {0, 1}}).Get());
    mesh->ComputeTangents(0);
    const Vector3* t = mesh->GetTangents()->GetElements();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(t[i], Vector3(0, 0, 0)) << i;
    for (int i = 3; i < 6; ++i) ExpectNear(t[i], {1, 0, 0}, "mapped");
    EXPECT_EQ(t[6], Vector3(0, 0, 0));
}

TEST(Geometry, ModelBoundEnclosesEveryPoint) {
    std::vector<Vector3> points;
    for (int i = 0; i < 50; ++i)
        points.push_back({std::sin(i * 1.7f) * 10, std::cos(i * 0.3f) * 3 - 8, float(i % 7) * 2.5f});
    Pointer<Triangles> mesh(new Triangles);
    mesh->SetVertices(Positions(points).Get());
    mesh->RebuildDerived(false, false);
    auto* sphere = static_cast<SphereBoundingVolume*>(mesh->GetModelBound());
    float farthest = 0;
    for (const Vector3& p : points) {
        EXPECT_LE(Distance(p, sphere->GetCenter()), sphere->GetRadius() * (1 + 1e-6f));
        farthest = std::max(farthest, Distance(p, sphere->GetCenter()));
    }
    EXPECT_FLOAT_EQ(sphere->GetRadius(), farthest);  // tight: some point lies on the surface
    EXPECT_EQ(mesh->GetNormals(), nullptr);

    // Rebuilding asks for normals and tangents as told.
    mesh->SetIndices(Indices({0, 1, 2}).Get());
    mesh->SetTexCoords(0, Pointer<Vector2Buffer>(new Vector2Buffer(50)).Get());
    mesh->RebuildDerived(true, true);
    EXPECT_NE(mesh->GetNormals(), nullptr);
    EXPECT_NE(mesh->GetTangents(), nullptr);
}

TEST(Geometry, WorldBoundFollowsTheWorldTransform) {
    Pointer<Triangles> mesh(new Triangles);
    mesh->SetVertices(Positions({{-1, 0, 0}, {1, 0, 0}}).Get());
    mesh->ComputeModelBound();
    mesh->GetLocalTransform().SetScale({3, 1, 1});
    mesh->GetLocalTransform().SetTranslation({0, 5, 0});
    mesh->UpdateTree(0, false);
    auto* world = static_cast<SphereBoundingVolume*>(mesh->GetWorldBound());
    EXPECT_EQ(world->GetCenter(), Vector3(0, 5, 0));
    EXPECT_FLOAT_EQ(world->GetRadius(), 3);

    // With the update switched off the world bound stays where it was.
    mesh->GetLocalTransform().SetTranslation({0, -5, 0});
    mesh->SetUpdateWorldBound(false);
    mesh->UpdateTree(0, false);
    EXPECT_EQ(world->GetCenter(), Vector3(0, 5, 0));
}

TEST(Geometry, SettersShareBuffersAndRefreshTheChosenTechnique) {
    Pointer<Triangles> mesh(new Triangles);
    Pointer<ProbeEffect> effect(new ProbeEffect);
    mesh->SetEffect(effect.Get());
    EXPECT_EQ(effect->GetGeometry(), mesh.Get());
    Pointer<Vector3Buffer> positions = Positions({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    mesh->SetVertices(positions.Get());
    EXPECT_EQ(effect->technique->refreshes, 0);  // no technique chosen yet
    effect->CurrentTechnique();                  // chosen, and refreshed once
    mesh->SetNormals(Pointer<Vector3Buffer>(new Vector3Buffer(3)).Get());
    EXPECT_EQ(effect->technique->refreshes, 2);
    mesh->SetNormals(mesh->GetNormals());  // the same buffer: nothing happens
    EXPECT_EQ(effect->technique->refreshes, 2);
    EXPECT_EQ(positions->GetReferenceCount(), 2);

    // New positions drop the tangents, even of the same size.
    mesh->SetTangents(Pointer<Vector3Buffer>(new Vector3Buffer(3)).Get());
    mesh->SetVertices(Positions({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}).Get());
    EXPECT_EQ(mesh->GetTangents(), nullptr);
    EXPECT_EQ(positions->GetReferenceCount(), 1);

    // Replacing the effect releases the old one and its back pointer.
    Pointer<ProbeEffect> other(new ProbeEffect);
    mesh->SetEffect(other.Get());
    EXPECT_EQ(effect->GetGeometry(), nullptr);
    EXPECT_EQ(effect->GetReferenceCount(), 1);

    // The node's update runs the effect's (its sway clock advances).
    mesh->UpdateWorld(0.25);
    EXPECT_EQ(other->swayTime, 0.25f);
}

// A pass that enables a light on its way, as lit effects do.
class LightingPass : public ProbePass {
public:
    LightingPass(int index, Renderer* renderer, Light* light) : ProbePass(index), renderer_(renderer), light_(light) {}
    int Apply() override {
        renderer_->AddLight(light_);
        return ProbePass::Apply();
    }

private:
    Renderer* renderer_;
    Light* light_;
};

struct DrawFixture {
    DrawFixture() {
        trace.clear();
        ProbePass::refused = -1;
        mesh->SetVertices(Positions({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}).Get());
        mesh->SetIndices(Indices({0, 1, 2}).Get());
    }
    ~DrawFixture() { ProbePass::refused = -1; }
    Pointer<ProbeRenderer> renderer{new ProbeRenderer};
    Pointer<Triangles> mesh{new Triangles};
};

TEST(Geometry, RenderDrawsEachPassAndUndoesItsLights) {
    DrawFixture f;
    f.mesh->Render(*f.renderer);  // no effect
    EXPECT_EQ(trace, "");

    Pointer<ProbeEffect> effect(new ProbeEffect);
    effect->technique->supported = false;
    Pointer<Light> light(new Light);
    auto* lit = new ProbeTechnique;
    for (int i = 0; i < 3; ++i) lit->AddPass(Pointer<Pass>(new LightingPass(i, f.renderer.Get(), light.Get())).Get());
    effect->AddTechnique(lit);
    f.mesh->SetEffect(effect.Get());
    ProbePass::refused = 1;
    f.mesh->Render(*f.renderer);
    // The refused pass is not drawn, but the light it enabled goes all the same.
    EXPECT_EQ(trace, "light apply0 draw unlight light apply1 unlight light apply2 draw unlight ");
    EXPECT_EQ(f.renderer->GetCurrentGeometry(), f.mesh.Get());
    EXPECT_EQ(f.renderer->GetLightCount(), 0);

    trace.clear();
    effect->Disable();
    f.mesh->Render(*f.renderer);
    EXPECT_EQ(trace, "");
    // Draw itself ignores the switch (the deferred lists call it).
    f.mesh->Draw(*f.renderer);
    EXPECT_EQ(trace, "light apply0 draw unlight light apply1 unlight light apply2 draw unlight ");
}

TEST(Geometry, BlendedGeometryWaitsForTheFlush) {
    DrawFixture f;
    Pointer<ProbeEffect> effect(new ProbeEffect);
    effect->SetBlendEnabled(true);
    f.mesh->SetEffect(effect.Get());
    f.mesh->Render(*f.renderer);
    EXPECT_EQ(trace, "");
    EXPECT_EQ(f.renderer->GetDeferredCount(), 1);
    f.renderer->FlushDeferred();
    EXPECT_EQ(trace, "apply0 draw ");
    EXPECT_EQ(f.renderer->GetDeferredCount(), 0);
}

TEST(Geometry, WithoutSupportedTechniqueNothingIsDrawn) {
    DrawFixture f;
    Pointer<ProbeEffect> effect(new ProbeEffect);
    effect->technique->supported = false;
    f.mesh->SetEffect(effect.Get());
    f.mesh->Render(*f.renderer);
    EXPECT_EQ(trace, "");
    EXPECT_EQ(effect->PassCount(), 0);
}

TEST(Geometry, InconsistentBuffersAreNeverDrawn) {
    LogRecorder log;
    DrawFixture f;
    Pointer<Lines> lines(new Lines);
    Pointer<ProbeEffect> effect(new ProbeEffect);
    lines->SetEffect(effect.Get());
    lines->SetVertices(Positions({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}).Get());

    lines->SetIndices(Indices({0, 1, 2, 3}).Get());  // vertex 3 does not exist
    lines->Render(*f.renderer);
    EXPECT_EQ(trace, "");
    EXPECT_TRUE(log.ContainsText("Буфферы геометрии не согласованы"));

    lines->SetIndices(Indices({0, 1, 1, -1}).Get());
    EXPECT_FALSE(lines->HasConsistentBuffers());

    lines->SetIndices(Indices({0, 1, 1, 2, 2}).Get());  // odd count: fine, the last index is unused
    lines->Render(*f.renderer);
    EXPECT_EQ(trace, "apply0 draw ");

    // A per-vertex array shorter than the positions would be read past its end.
    trace.clear();
    lines->SetTexCoords(5, Pointer<Vector2Buffer>(new Vector2Buffer(2)).Get());
    lines->Render(*f.renderer);
    EXPECT_EQ(trace, "");
    lines->SetTexCoords(5, Pointer<Vector2Buffer>(new Vector2Buffer(3)).Get());
    lines->SetColors(Pointer<ColorBuffer>(new ColorBuffer(1)).Get());
    EXPECT_FALSE(lines->HasConsistentBuffers());
    lines->SetColors(nullptr);
    EXPECT_TRUE(lines->HasConsistentBuffers());

    // Indices without positions.
    lines->SetVertices(nullptr);
    EXPECT_FALSE(lines->HasConsistentBuffers());
}

TEST(Geometry, SearchSkipsTheColourBuffer) {
    Pointer<Points> points(new Points);
    Pointer<ProbeEffect> effect(new ProbeEffect);
    Pointer<ColorBuffer> colors(new ColorBuffer(1));
    Pointer<Vector3Buffer> positions(new Vector3Buffer(1));
    Pointer<FloatBuffer> set7(new FloatBuffer(1));
    effect->SetName("shared");
    colors->SetName("shared");
    positions->SetName("positions");
    set7->SetName("set7");
    points->SetColors(colors.Get());
    points->SetVertices(positions.Get());
    points->SetTexCoords(7, set7.Get());
    EXPECT_EQ(points->FindByName("positions"), positions.Get());
    EXPECT_EQ(points->FindByName("set7"), set7.Get());
    EXPECT_EQ(points->FindByName("shared"), nullptr);  // the colours are not searched
    points->SetEffect(effect.Get());
    EXPECT_EQ(points->FindByName("shared"), effect.Get());

    Array<Object*> found(4, 4);
    points->CollectByType(Buffer::TYPE, found);
    ASSERT_EQ(found.GetCount(), 2);
    EXPECT_EQ(found[0], positions.Get());
    EXPECT_EQ(found[1], set7.Get());
}

TEST(Geometry, SaveAndLoadKeepEverySlotInOrder) {
    Pointer<Triangles> mesh(new Triangles);
    mesh->SetName("mesh");
    const Cube cube = MakeCube();
    Pointer<ProbeEffect> effect(new ProbeEffect);
    effect->SetName("look");
    mesh->SetEffect(effect.Get());
    mesh->SetVertices(Positions(cube.points).Get());
    mesh->SetIndices(Indices(cube.indices).Get());
    mesh->SetPointSizes(Pointer<FloatBuffer>(new FloatBuffer(24)).Get());
    mesh->SetColors(Pointer<ColorBuffer>(new ColorBuffer(24)).Get());
    mesh->SetTexCoords(2, Pointer<Vector2Buffer>(new Vector2Buffer(24)).Get());
    mesh->SetTexCoords(5, Pointer<Vector3Buffer>(new Vector3Buffer(24)).Get());
    mesh->SetTexCoords(7, mesh->GetVertices());  // shared with the positions
    mesh->ComputeNormals();
    mesh->ComputeTangents(2);

    const std::vector<uint8_t> bytes = Saved(*mesh);
    int status = -1;
    Pointer<Object> back = Loaded(bytes, &status);
    ASSERT_EQ(status, 0);
    auto* loaded = DynamicCast<Triangles>(back.Get());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetName(), "mesh");
    ASSERT_NE(loaded->GetEffect(), nullptr);
    EXPECT_EQ(loaded->GetEffect()->GetName(), "look");
    EXPECT_EQ(loaded->GetEffect()->GetGeometry(), loaded);
    ASSERT_NE(loaded->GetVertices(), nullptr);
    EXPECT_EQ(std::memcmp(loaded->GetVertices()->GetData(), mesh->GetVertices()->GetData(), 24 * 12), 0);
    EXPECT_EQ(loaded->GetIndices()->GetCount(), 36);
    EXPECT_EQ(loaded->GetPointSizes()->GetCount(), 24);
    EXPECT_EQ(loaded->GetColors()->GetCount(), 24);
    EXPECT_EQ(loaded->GetNormals()->GetCount(), 24);
    EXPECT_EQ(loaded->GetTangents()->GetCount(), 24);
    for (int set = 0; set < 8; ++set) {
        const Buffer* original = mesh->GetTexCoords(set);
        const Buffer* copy = loaded->GetTexCoords(set);
        ASSERT_EQ(copy == nullptr, original == nullptr) << set;
        if (copy) {
            EXPECT_TRUE(copy->IsExactly(original->GetType())) << set;
        }
    }
    EXPECT_EQ(loaded->GetTexCoords(7), loaded->GetVertices());
    // The model bound is fitted again after loading.
    auto* sphere = static_cast<SphereBoundingVolume*>(loaded->GetModelBound());
    EXPECT_FLOAT_EQ(sphere->GetRadius(), std::sqrt(3.0f));
    EXPECT_EQ(Saved(*loaded).size(), bytes.size());
}

TEST(Geometry, TruncatedFilesFailWithTheFieldsMessage) {
    // All links null: the geometry's own part is 15 links and the bound kind, 64 bytes at the end.
    Pointer<Points> points(new Points);
    points->SetName("p");
    const std::vector<uint8_t> full = Saved(*points);
    const size_t own = full.size() - 64;
    const char* messages[] = {"эффект", "вершины", "размеры точек", "цвета", "нормали", "тангенты"};
    LogRecorder log;
    for (size_t cut = 0; cut < full.size(); ++cut) {
        log.lines.clear();
        int status = 0;
        Pointer<Object> back = Loaded(std::vector<uint8_t>(full.begin(), full.begin() + long(cut)), &status);
        EXPECT_NE(status, 0) << cut;
        EXPECT_FALSE(back) << cut;
        if (cut < own) {
            if (cut > 30) {
                EXPECT_TRUE(log.ContainsText("Невозможно загрузить родительские данные. ID[")) << cut;
            }
            continue;
        }
        const size_t field = (cut - own) / 4;
        std::string expected = "Невозможно загрузить ";
        if (field < 6) expected += messages[field];
        else if (field < 14) expected += "текстурные координаты";
        else if (field == 14) expected += "индексы";
        else expected += "тип лоакльного окружающего объёма";
        EXPECT_TRUE(log.ContainsText(expected + ". ID[")) << cut << " " << expected;
        EXPECT_TRUE(log.ContainsText("] Имя[p]")) << cut;
    }
}

TEST(Geometry, LinksOfTheWrongClassAreRefused) {
    LogRecorder log;
    auto expectRefused = [&log](const std::vector<uint8_t>& bytes, const std::string& field) {
        log.lines.clear();
        int status = 0;
        EXPECT_FALSE(Loaded(bytes, &status)) << field;
        EXPECT_NE(status, 0) << field;
        EXPECT_TRUE(log.ContainsText("Невозможно загрузить " + field + ". ID[")) << field;
    };
    // Positions and texture coordinates must be 1 to 4 floats per vertex.
    Pointer<Triangles> mesh(new Triangles);
    mesh->SetVertices(Pointer<IntBuffer>(new IntBuffer(3)).Get());
    expectRefused(Saved(*mesh), "вершины");
    mesh->SetVertices(Pointer<ColorBuffer>(new ColorBuffer(3)).Get());
    expectRefused(Saved(*mesh), "вершины");
    mesh->SetVertices(Pointer<Vector4Buffer>(new Vector4Buffer(3)).Get());
    mesh->SetTexCoords(4, Pointer<ColorBuffer>(new ColorBuffer(3)).Get());
    expectRefused(Saved(*mesh), "текстурные координаты");
    mesh->SetTexCoords(4, Pointer<FloatBuffer>(new FloatBuffer(3)).Get());
    int status = -1;
    EXPECT_TRUE(Loaded(Saved(*mesh), &status));  // the control loads
    EXPECT_EQ(status, 0);

    // Other slots: a vector buffer spliced in where the indices or the colours belong, or
    // another node where the effect belongs.
    Pointer<Triangles> bare(new Triangles);
    const std::vector<uint8_t> nulls = Saved(*bare);
    Pointer<Vector3Buffer> intruder(new Vector3Buffer(2));
    const std::vector<uint8_t> inserted = Saved(*intruder);
    auto splice = [&](size_t linkFromEnd) {
        std::vector<uint8_t> bytes(nulls.begin(), nulls.end() - long(linkFromEnd));
        bytes.insert(bytes.end(), inserted.begin(), inserted.end());
        bytes.insert(bytes.end(), nulls.end() - long(linkFromEnd) + 4, nulls.end());
        return bytes;
    };
    expectRefused(splice(8), "индексы");
    expectRefused(splice(64 - 3 * 4), "цвета");
    expectRefused(splice(64 - 2 * 4), "размеры точек");
    expectRefused(splice(64), "эффект");
}

} // namespace
} // namespace nuv
