#include "render/ProfileTable.h"

#include <cstdio>

namespace nuv {

std::vector<std::string> ProfileTable::Format(const std::vector<Renderer::ProfileEntry>& entries, int frames) {
    if (frames < 1) frames = 1;
    std::vector<std::string> lines;
    char line[300];
    std::snprintf(line, sizeof line, "profile over %d frame(s), per frame:", frames);
    lines.emplace_back(line);
    std::snprintf(line, sizeof line, "%-48s %10s %10s %6s", "section", "ms", "pixels", "runs");
    lines.emplace_back(line);
    double totalMs = 0.0;
    int64_t totalSamples = 0;
    bool timed = false;
    for (const Renderer::ProfileEntry& e : entries) {
        char ms[32] = "-";
        if (e.milliseconds >= 0.0) {
            std::snprintf(ms, sizeof ms, "%.3f", e.milliseconds / frames);
            totalMs += e.milliseconds;
            timed = true;
        }
        const long long samples = e.samples < 0 ? -1 : (e.samples + frames / 2) / frames;
        if (e.samples > 0) totalSamples += e.samples;
        std::snprintf(line, sizeof line, "%-48s %10s %10lld %6.1f", e.name.c_str(), ms, samples,
                      double(e.runs) / frames);
        lines.emplace_back(line);
    }
    char ms[32] = "-";
    if (timed) std::snprintf(ms, sizeof ms, "%.3f", totalMs / frames);
    std::snprintf(line, sizeof line, "%-48s %10s %10lld", "total", ms,
                  static_cast<long long>((totalSamples + frames / 2) / frames));
    lines.emplace_back(line);
    return lines;
}

} // namespace nuv
