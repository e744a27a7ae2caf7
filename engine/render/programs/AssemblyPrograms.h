#pragma once

namespace nuv {

// The assembly texts of the programs, for the Direct3D 9 device, with the register layout of the
// GLSL texts: the same constants (c0.. vertex, c0.. pixel), streams and samplers. Fog leaves the
// vertex programs as oFog and is blended by the device after the pixel program, as the 1.x and
// 2.0 models do. Programs that the effects draw at vertex level 0 (plain, sway) and their pixel
// programs are vs_1_1 / ps_1_1 texts serving every level; the rest are vs_2_0 / ps_2_0 texts for
// levels 1 and 2.
class AssemblyPrograms {
public:
    // The text of a program named by ShaderPrograms at a level; null where it has none.
    static const char* Text(int program, int level);
};

} // namespace nuv
