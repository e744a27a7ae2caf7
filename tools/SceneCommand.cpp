#include "SceneCommand.h"

#include "core/Controller.h"
#include "core/Engine.h"
#include "core/Log.h"
#include "core/MessageOutput.h"
#include "core/Pointer.h"
#include "media/MemoryFile.h"
#include "media/StrSceneCodec.h"
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
    out << "usage: nuvtool scene dump FILE.STR\n"
           "  Loads a scene file and prints its object tree (class, name and ID of every node,\n"
           "  controller and scene effect, one line each, children indented under their group,\n"
           "  empty child slots shown), then the number of objects of each class reachable\n"
           "  from the root (the bounds that nodes make for themselves are not counted).\n"
           "exit status: 0 done, 1 the file is not a readable scene, 2 bad arguments or unreadable file\n";
}

int SceneCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        PrintHelp(out);
        return kExitOk;
    }
    if (args.size() != 2 || args[0] != "dump") {
        PrintHelp(err);
        return kExitUsage;
    }
    const std::string& path = args[1];
    std::error_code ec;
    std::ifstream in(path, std::ios::binary);
    if (!fs::is_regular_file(path, ec) || !in) {
        err << "nuvtool scene: cannot read '" << path << "'\n";
        return kExitUsage;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() > size_t(INT32_MAX)) {
        err << "nuvtool scene: '" << path << "' is too large\n";
        return kExitFailed;
    }

    EngineRun engine;
    if (engine.status != 0) {
        err << "nuvtool scene: the engine did not start\n";
        return kExitFailed;
    }
    LogToStream log(err);
    Pointer<MemoryFile> file(new MemoryFile(String(fs::path(path).filename().string().c_str())));
    file->SetContent(std::move(bytes));
    StrSceneCodec codec;
    Pointer<Object> root;
    if (codec.Load(file.Get(), root) != 0 || !root) {
        err << "nuvtool scene: '" << path << "' is not a readable scene file\n";
        return kExitFailed;
    }
    Dump(root.Get(), out);
    return kExitOk;
}

} // namespace nuv
