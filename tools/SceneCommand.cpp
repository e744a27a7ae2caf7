#include "SceneCommand.h"

#include "MediaSource.h"

#include "core/Controller.h"
#include "core/Engine.h"
#include "core/Log.h"
#include "core/MessageOutput.h"
#include "core/Pointer.h"
#include "core/Status.h"
#include "media/CodecManager.h"
#include "render/SceneNodeEffect.h"
#include "scene/BoundingVolume.h"
#include "scene/SceneNode.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace nuv {

namespace {

namespace fs = std::filesystem;

// Warnings and errors of the load explain a refusal; they go to the error stream.
class StreamOutput : public MessageOutput {
public:
    explicit StreamOutput(std::ostream& err) : MessageOutput("nuvtool scene"), err_(err) {}
    void Output(int level, const String& text) override {
        if (level >= kLogWarning) err_ << "nuvtool scene: " << text.GetText() << "\n";
    }

private:
    std::ostream& err_;
};

struct LogToStream {
    explicit LogToStream(std::ostream& err) : output(new StreamOutput(err)) { RegisterMessageOutput(output.Get()); }
    ~LogToStream() { UnregisterMessageOutput(output.Get()); }
    Pointer<StreamOutput> output;
};

// The engine's class factory and managers, for the life of the command.
struct EngineRun {
    EngineRun() : status(InitializeEngine()) {}
    ~EngineRun() { ShutdownEngine(); }
    int status;
};

void Line(std::ostream& out, int depth, const char* role, Object* object) {
    out << std::string(size_t(depth) * 2, ' ') << role << object->GetType().GetName().GetText() << " \""
        << object->GetName().GetText() << "\" ID " << object->GetId() << "\n";
}

// Controllers, then for a scene node its effects and its child slots, as the searches walk them.
// The tree is finite and at most Node::kMaxDepth deep: loading refuses anything else.
void DumpObject(Object* object, int depth, const char* role, std::ostream& out) {
    Line(out, depth, role, object);
    for (int i = object->GetControllerCount() - 1; i >= 0; --i)
        DumpObject(object->GetController(i), depth + 1, "controller ", out);
    SceneNode* group = DynamicCast<SceneNode>(object);
    if (!group) return;
    for (int i = 0; i < group->GetEffectCount(); ++i) DumpObject(group->GetEffect(i), depth + 1, "effect ", out);
    for (int i = 0; i < group->GetChildCount(); ++i) {
        if (Node* child = group->GetChild(i)) {
            DumpObject(child, depth + 1, "", out);
        } else {
            out << std::string(size_t(depth + 1) * 2, ' ') << "(empty slot)\n";
        }
    }
}

} // namespace

void SceneCommand::Dump(Object* root, std::ostream& out) {
    DumpObject(root, 0, "", out);
    // Every object the searches reach, once each. Bounds are left out: nodes store only their
    // kind and make the volumes anew, so they are not part of the file.
    Array<Object*> found(256, 4096);
    root->CollectByType(Object::TYPE, found);
    std::set<Object*> seen;
    std::map<std::string, int> counts;
    for (Object* object : found) {
        if (object->IsDerived(BoundingVolume::TYPE) || !seen.insert(object).second) continue;
        ++counts[object->GetType().GetName().GetText()];
    }
    out << "classes:\n";
    for (const auto& [name, count] : counts) out << "  " << name << " " << count << "\n";
}

void SceneCommand::PrintHelp(std::ostream& out) {
    out << "usage: nuvtool scene dump SCENE [--media DIR|ARCHIVE]\n"
           "  Loads a scene file and prints its object tree (class, name and ID of every node,\n"
           "  controller and scene effect, one line each, children indented under their group,\n"
           "  empty child slots shown), then the number of objects of each class reachable\n"
           "  from the root (the bounds that nodes make for themselves are not counted).\n"
           "  SCENE is a .STR file on disk or, with --media, a path inside the media (a folder or a\n"
           "  RAR 2.0 archive) whose pictures the scene's textures load, such as Main.STR. Without\n"
           "  --media the media is the folder the scene file is in.\n"
           "exit status: 0 done, 1 the file is not a readable scene, 2 bad arguments or unreadable file\n";
}

int SceneCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        PrintHelp(out);
        return kExitOk;
    }
    std::string scene, media;
    bool usage = args.empty() || args[0] != "dump";
    for (size_t i = 1; i < args.size() && !usage; ++i) {
        if (args[i] == "--media" && i + 1 < args.size() && media.empty()) {
            media = args[++i];
        } else if (!args[i].empty() && args[i][0] != '-' && scene.empty()) {
            scene = args[i];
        } else {
            usage = true;
        }
    }
    if (usage || scene.empty()) {
        PrintHelp(err);
        return kExitUsage;
    }
    std::error_code ec;
    if (media.empty() && !fs::is_regular_file(scene, ec)) {
        err << "nuvtool scene: cannot read '" << scene << "'\n";
        return kExitUsage;
    }

    EngineRun engine;
    if (engine.status != kStatusOk) {
        err << "nuvtool scene: the engine did not start\n";
        return kExitFailed;
    }
    LogToStream log(err);
    // The codecs the program makes at start: scenes, archives and pictures by extension.
    for (const char* codec : {"BMPImageCodec", "JPGImageCodec", "TGAImageCodec", "CUBEImageCodec", "STRSceneCodec",
                              "RAR2FileCodec"})
        CodecManager::GetCodec(String(codec), nullptr);
    // A scene extracted to disk finds its pictures beside it.
    if (media.empty()) media = MediaSource::DefaultMedia(scene);
    if (!media.empty() && !MediaSource::Attach(media, "nuvtool scene", err)) return kExitUsage;
    Pointer<Object> root;
    const int status = MediaSource::LoadScene(scene, root, "nuvtool scene", err);
    if (status == MediaSource::kNoScene) return kExitUsage;
    if (status != kStatusOk || !root) {
        err << "nuvtool scene: '" << scene << "' is not a readable scene file\n";
        return kExitFailed;
    }
    Dump(root.Get(), out);
    return kExitOk;
}

} // namespace nuv
