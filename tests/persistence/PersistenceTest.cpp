// Every persistent class, saved with its defaults, then cut short at every byte and loaded, and
// written into every buffer too small for it. Each failure returns a status, leaves the stream
// failed and is logged; across the cuts each field's own message appears. A message is listed
// with the first class of the table that meets it (later rows meet their parents' messages again).
#include "../core/TestSupport.h"

#include "animation/BoolAnimation.h"
#include "animation/CameraCulledController.h"
#include "animation/NodeAnimation.h"
#include "animation/NodeAnimationController.h"
#include "animation/PostUpdateController.h"
#include "animation/ScreensaverController.h"
#include "animation/SkeletonAnimationController.h"
#include "animation/SkinController.h"
#include "animation/TargetCameraController.h"
#include "animation/TargetLightController.h"
#include "core/ColorBuffer.h"
#include "core/FloatBuffer.h"
#include "core/IntBuffer.h"
#include "core/Stream.h"
#include "core/Vector2Buffer.h"
#include "core/Vector3Buffer.h"
#include "core/Vector4Buffer.h"
#include "media/image/Image.h"
#include "media/image/VolumeImage.h"
#include "render/ColorEffect.h"
#include "render/CubeTexture.h"
#include "render/CustomGlowPostRenderEffect.h"
#include "render/FresnelTextureController.h"
#include "render/LightmapTextureEffect.h"
#include "render/NoiseTextureController.h"
#include "render/NormalmapTextureController.h"
#include "render/NormalmapTextureEffect.h"
#include "render/PixelShader.h"
#include "render/PostRenderEffect.h"
#include "render/ReflectiveQuietFlatWaterEffect.h"
#include "render/RenderScreenspaceReflectTextureController.h"
#include "render/RenderShadowmapEffectController.h"
#include "render/RenderStateBlock.h"
#include "render/ShadowmapEffect.h"
#include "render/SnowEffect.h"
#include "render/SnowIceEffect.h"
#include "render/SpriteEffect.h"
#include "render/Texture.h"
#include "render/TextureEffect.h"
#include "render/TextureLightingEffect.h"
#include "render/TexturePixelLightingEffect.h"
#include "render/VertexShader.h"
#include "render/VolumeTexture.h"
#include "scene/Camera.h"
#include "scene/FPCamera.h"
#include "scene/Flare.h"
#include "scene/Garland.h"
#include "scene/Light.h"
#include "scene/Lines.h"
#include "scene/Node.h"
#include "scene/NodeParticleSystem.h"
#include "scene/ParticleSystem.h"
#include "scene/PointEmitter.h"
#include "scene/Points.h"
#include "scene/SceneNode.h"
#include "scene/SphereBoundingVolume.h"
#include "scene/SphereVolumeEmitter.h"
#include "scene/SpriteParticleSystem.h"
#include "scene/StripLines.h"
#include "scene/Triangles.h"
#include "scene/TrianglesEmitter.h"
#include "scene/WindowPlane.h"
#include "sound/SoundNode.h"
#include "sound/SoundNode2.h"
#include "sound/SoundNodeAnimation.h"
#include "sound/SoundNodeAnimationController.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace nuv {
namespace {

struct ClassCase {
    const Rtti* type;
    std::vector<const char*> loadMessages;
    std::vector<const char*> saveMessages;
};

const ClassCase kClasses[] = {
    {&Image::TYPE,
     {"Невозможно загрузить имя объекта. ID[", "Невозможно загрузить родительские данные. ID[",
      "Невозможно загрузить количество контроллеров объекта. Имя[", "Невозможно загрузить имя файла изображения. ID[",
      "Невозможно загрузить ширину изображения. ID[", "Невозможно загрузить высоту изображения. ID[",
      "Невозможно загрузить формат изображения. ID["},
     {"Невозможно сохранить имя объекта. Имя[", "Невозможно сохранить родительские данные. Имя[",
      "Невозможно сохранить количество контроллеров объекта. Имя[", "Невозможно сохранить имя файла изображения. Имя[",
      "Невозможно сохранить ширину изображения. Имя[", "Невозможно сохранить высоту изображения. Имя[",
      "Невозможно сохранить формат изображения. Имя["}},
    {&Node::TYPE,
     {"Невозможно загрузить родителя. ID[", "Невозможно загрузить локальную трансформацию. ID[",
      "Невозможно загрузить тип окружающего объёма. ID[",
      "Невозможно загрузить флаг обновления окружающего объёма. ID["},
     {"Невозможно сохранить родителя. Имя[", "Невозможно сохранить локальную трансформацию. Имя[",
      "Невозможно сохранить тип окружающего объёма. Имя[",
      "Невозможно сохранить флаг обновления мирового объёма. Имя["}},
    {&RenderStateBlock::TYPE, {}, {}},
    {&BoolAnimation::TYPE,
     {"Невозможно загрузить количество кифреймов анимации. ID["},
     {"Невозможно сохранить количество кифреймов анимации. Имя["}},
    {&Camera::TYPE, {"Невозможно загрузить данные камеры. ID["}, {"Невозможно сохранить данные камеры. Имя["}},
    {&CameraCulledController::TYPE,
     {"Невозможно загрузить флаг активности контроллера. ID[", "Невозможно загрузить количество объектов.",
      "Невозможно загрузить узлы. ID["},
     {"Невозможно сохранить флаг активности контроллера. Имя[", "Невозможно сохранить количество объектов.",
      "Невозможно сохранить узлы. Имя["}},
    {&ColorBuffer::TYPE,
     {"Невозможно загрузить количество данных буффера. ID["},
     {"Невозможно сохранить количество данных буффера. Имя["}},
    {&CubeTexture::TYPE,
     {"Невозможно загрузить количество мип-мэпов текстуры. ID[", "Невозможно загрузить изображение текстуры. ID["},
     {"Невозможно сохранить количество мип-мэпов текстуры. Имя[", "Невозможно сохранить изображение текстуры. Имя["}},
    {&FloatBuffer::TYPE, {}, {}},
    {&FresnelTextureController::TYPE,
     {"Невозможно загрузить коэффициент френеля. ID["},
     {"Невозможно сохранить коэффициенты френеля. Имя["}},
    {&IntBuffer::TYPE, {}, {}},
    {&Light::TYPE,
     {"Невозможно загрузить данные источника света. ID["},
     {"Невозможно сохранить данные источника света. Имя["}},
    {&NodeAnimation::TYPE, {}, {}},
    {&NoiseTextureController::TYPE,
     {"Невозможно загрузить данные генерации. ID["},
     {"Невозможно сохранить данные генерации. Имя["}},
    {&NormalmapTextureController::TYPE,
     {"Невозможно загрузить коэффициент бампа. ID["},
     {"Невозможно сохранить коэффициент бампа. Имя["}},
    {&PixelShader::TYPE, {}, {}},
    {&PointEmitter::TYPE,
     {"Невозможно загрузить данные системы частиц. Имя["},
     {"Невозможно сохранить данные системы частиц. Имя["}},
    {&PostUpdateController::TYPE, {}, {}},
    {&RenderScreenspaceReflectTextureController::TYPE,
     {"Невозможно загрузить узел. ID[", "Невозможно загрузить узлы. Имя["},
     {"Невозможно сохранить узел. Имя["}},
    {&RenderShadowmapEffectController::TYPE, {}, {}},
    {&SceneNode::TYPE,
     {"Невозможно загрузить количество эффектов. ID[", "Невозможно загрузить количество дочерних узлов. ID[",
      "Невозможно загрузить приращение. ID["},
     {"Невозможно сохранить количество эффектов. Имя[", "Невозможно сохранить количество дочерних узлов. Имя[",
      "Невозможно сохранить приращение. Имя[", "Невозможно сохранить дочерний узел. Имя["}},
    {&ScreensaverController::TYPE,
     {"Невозможно загрузить количество сетов. ID["},
     {"Невозможно сохранить количество сетов. Имя["}},
    {&SkinController::TYPE,
     {"Невозможно загрузить количество костей. ID[", "Невозможно загрузить веса. Имя[",
      "Невозможно загрузить индексы. Имя[", "Невозможно загрузить вершины. Имя[", "Невозможно загрузить нормали. Имя[",
      "Невозможно загрузить тангенсы. Имя["},
     {"Невозможно сохранить количество костей. Имя[", "Невозможно сохранить веса. Имя[",
      "Невозможно сохранить индексы. Имя[", "Невозможно сохранить вершины. Имя[", "Невозможно сохранить нормали. Имя[",
      "Невозможно сохранить тангенсы. Имя["}},
    {&SoundNode::TYPE,
     {"Невозможно загрузить данные источника звука. ID["},
     {"Невозможно сохранить данные источника звука. Имя["}},
    {&SoundNode2::TYPE, {}, {}},
    {&SoundNodeAnimation::TYPE, {}, {}},
    {&SphereBoundingVolume::TYPE,
     {"Невозможно загрузить данные окружающего объёма. ID["},
     {"Невозможно сохранить данные окружающего объёма. Имя["}},
    {&TargetCameraController::TYPE,
     {"Невозможно загрузить цель камеры. ID["},
     {"Невозможно сохранить цель камеры. Имя["}},
    {&TargetLightController::TYPE,
     {"Невозможно загрузить цель источника света. ID["},
     {"Невозможно сохранить цель источника света. Имя["}},
    {&Texture::TYPE, {}, {}},
    {&Vector2Buffer::TYPE, {}, {}},
    {&Vector3Buffer::TYPE, {}, {}},
    {&Vector4Buffer::TYPE, {}, {}},
    {&VertexShader::TYPE, {}, {}},
    {&VolumeImage::TYPE, {}, {}},
    {&VolumeTexture::TYPE, {}, {}},
    {&ColorEffect::TYPE, {"Невозможно загрузить цвет. ID["}, {"Невозможно сохранить цвет. Имя["}},
    {&FPCamera::TYPE, {}, {}},
    {&Flare::TYPE,
     {"Невозможно загрузить эффект. ID[", "Невозможно загрузить текстуру. ID[", "Невозможно загрузить вершины. ID[",
      "Невозможно загрузить данные буффера. ID[", "Невозможно загрузить размеры точек. ID[",
      "Невозможно загрузить цвета. ID[", "Невозможно загрузить нормали. ID[", "Невозможно загрузить тангенты. ID[",
      "Невозможно загрузить текстурные координаты. ID[", "Невозможно загрузить индексы. ID[",
      "Невозможно загрузить тип лоакльного окружающего объёма. ID[", "Невозможно загрузить данные флара. Имя["},
     {"Невозможно сохранить эффект. Имя[", "Невозможно сохранить текстуру. Имя[",
      "Невозможно сохранить данные буффера. Имя[", "Невозможно сохранить размеры точек. Имя[",
      "Невозможно сохранить цвета вершин. Имя[", "Невозможно сохранить тангенты. Имя[",
      "Невозможно сохранить текстурные координаты. Имя[",
      "Невозможно сохранить тип локального окружающего объёма. Имя[", "Невозможно сохранить данные флара. Имя["}},
    {&Garland::TYPE,
     {"Невозможно загрузить данные гирлянды. Имя[", "Невозможно загрузить линию гирлянды. Имя["},
     {"Невозможно сохранить данные гирлянды. Имя[", "Невозможно сохранить линию гирлянды. Имя["}},
    {&Lines::TYPE, {}, {}},
    {&NodeAnimationController::TYPE,
     {"Невозможно загрузить количество анимаций. ID[", "Невозможно загрузить количество фреймов анимаций. ID[",
      "Невозможно загрузить период трэка. ID["},
     {"Невозможно сохранить количество анимаций. Имя[", "Невозможно сохранить количество фреймов анимаций. Имя[",
      "Невозможно сохранить период трэка. Имя["}},
    {&ParticleSystem::TYPE,
     {"Невозможно загрузить эмиттер системы частиц. Имя["},
     {"Невозможно сохранить эмиттер системы частиц. Имя["}},
    {&Points::TYPE, {}, {}},
    {&PostRenderEffect::TYPE, {"Невозможно загрузить флаг фильма. ID["}, {"Невозможно сохранить флаг фильма. Имя["}},
    {&ShadowmapEffect::TYPE,
     {"Невозможно загрузить источник света. Имя[", "Невозможно загрузить карту теней. ID[",
      "Невозможно загрузить цвет тени. Имя["},
     {"Невозможно сохранить источник света. Имя[", "Невозможно сохранить шадамап. Имя["}},
    {&SkeletonAnimationController::TYPE,
     {"Невозможно загрузить количество контроллеров анимации костей. ID["},
     {"Невозможно сохранить количество контроллеров анимации костей. Имя["}},
    {&SoundNodeAnimationController::TYPE, {}, {}},
    {&SphereVolumeEmitter::TYPE, {}, {}},
    {&SpriteEffect::TYPE, {}, {}},
    {&StripLines::TYPE, {}, {}},
    {&Triangles::TYPE, {}, {}},
    {&TrianglesEmitter::TYPE, {}, {}},
    {&CustomGlowPostRenderEffect::TYPE,
     {"Невозможно загрузить данные свечения. ID[", "Невозможно загрузить узлы свечения. Имя["},
     {"Невозможно сохранить данные свечения. Имя[", "Невозможно сохранить узлы свечения. Имя["}},
    {&NodeParticleSystem::TYPE,
     {"Невозможно загрузить шаблон системы частиц. Имя["},
     {"Невозможно сохранить шаблон системы частиц. Имя["}},
    {&SpriteParticleSystem::TYPE, {}, {}},
    {&TextureEffect::TYPE,
     {"Невозможно загрузить номер набора текстурных координат. ID["},
     {"Невозможно сохранить номер набора текстурных координат. Имя["}},
    {&WindowPlane::TYPE,
     {"Невозможно загрузить данные плоскости. Имя["},
     {"Невозможно сохранить данные плоскости. Имя["}},
    {&LightmapTextureEffect::TYPE, {}, {}},
    {&NormalmapTextureEffect::TYPE, {}, {}},
    {&SnowEffect::TYPE,
     {"Невозможно загрузить данные эффекта. ID[", "Невозможно загрузить текстуру шума. ID[",
      "Невозможно загрузить контроллер объекта. Имя["},
     {"Невозможно сохранить данные эффекта. Имя[", "Невозможно сохранить текстуру шума. Имя[",
      "Невозможно сохранить контроллер объекта. Имя["}},
    {&TextureLightingEffect::TYPE,
     {"Невозможно загрузить количество источников света.", "Невозможно загрузить источники света. ID["},
     {"Невозможно сохранить количество источников света.", "Невозможно сохранить источники света. Имя["}},
    {&ReflectiveQuietFlatWaterEffect::TYPE,
     {"Невозможно загрузить карту отражения. ID[", "Невозможно загрузить данные эффекта. Имя["},
     {"Невозможно сохранить карту отражения. Имя["}},
    {&TexturePixelLightingEffect::TYPE, {}, {}},
    {&SnowIceEffect::TYPE, {"Невозможно загрузить карту шума. ID["}, {"Невозможно сохранить карту шума. Имя["}},
};

std::vector<uint8_t> Saved(Object* object) {
    Stream stream(0, 1024);
    EXPECT_EQ(stream.WriteObject(object), 0);
    return std::vector<uint8_t>(stream.GetData(), stream.GetData() + stream.GetPosition());
}

// Warning and error lines as "LEVEL|text".
bool HasProblemLine(const test::LogRecorder& log) {
    for (const std::string& line : log.lines)
        if (line[0] == '1' || line[0] == '2') return true;
    return false;
}

void Collect(const test::LogRecorder& log, const std::vector<const char*>& expected, std::set<std::string>& seen) {
    for (const char* message : expected)
        if (log.ContainsText(std::string("2|") + message)) seen.insert(message);
}

TEST(PersistenceTest, EveryClassFailsCleanlyWithItsMessagesAtEveryCut) {
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.type->GetName().GetText());
        CreateFunction create = ClassFactory::FindCreateFunction(c.type->GetName());
        ASSERT_NE(create, nullptr);
        Object* raw = nullptr;
        ASSERT_EQ(create(&raw), 0);
        Pointer<Object> object(raw);
        const std::vector<uint8_t> bytes = Saved(object.Get());

        // The whole file loads and saves to the same size again.
        {
            Stream stream(0, 1024);
            stream.Assign(bytes.data(), int(bytes.size()));
            Object* loaded = nullptr;
            ASSERT_EQ(stream.ReadObject(loaded), 0);
            ASSERT_NE(loaded, nullptr);
            EXPECT_TRUE(loaded->IsExactly(*c.type));
            EXPECT_EQ(Saved(loaded).size(), bytes.size());
        }

        std::set<std::string> seen;
        for (size_t cut = 0; cut < bytes.size(); ++cut) {
            test::LogRecorder log;
            Stream stream(0, 1024);
            stream.Assign(bytes.data(), int(cut));
            Object* loaded = nullptr;
            EXPECT_NE(stream.ReadObject(loaded), 0) << "cut " << cut;
            EXPECT_NE(stream.GetError(), 0) << "cut " << cut;
            EXPECT_TRUE(HasProblemLine(log)) << "cut " << cut;
            Collect(log, c.loadMessages, seen);
        }
        for (const char* message : c.loadMessages) EXPECT_TRUE(seen.count(message)) << message;

        seen.clear();
        for (size_t room = 1; room < bytes.size(); ++room) {
            test::LogRecorder log;
            Stream stream(int(room), 0); // cannot grow: the write that does not fit fails
            EXPECT_NE(stream.WriteObject(object.Get()), 0) << "room " << room;
            EXPECT_TRUE(HasProblemLine(log)) << "room " << room;
            Collect(log, c.saveMessages, seen);
        }
        for (const char* message : c.saveMessages) EXPECT_TRUE(seen.count(message)) << message;
    }
}

} // namespace
} // namespace nuv
