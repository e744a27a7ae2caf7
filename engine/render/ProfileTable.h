#pragma once

#include "render/Renderer.h"

#include <string>
#include <vector>

namespace nuv {

// The frame profile as a table people read: per frame, each section's device time and the
// samples it drew, then the totals. One line per element, without line ends.
class ProfileTable {
public:
    static std::vector<std::string> Format(const std::vector<Renderer::ProfileEntry>& entries, int frames);
};

} // namespace nuv
