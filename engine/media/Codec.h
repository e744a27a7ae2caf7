#pragma once

#include "core/Array.h"
#include "core/Named.h"
#include "core/Pointer.h"
#include "core/RefCounted.h"
#include "core/String.h"
#include "media/Module.h"

#include <memory>

namespace nuv {

class File;
class Folder;
class Object;

// A format handler, created by the module of the same name and chosen for a file by the
// file's extension.
class Codec : public RefCounted, public Named {
public:
    enum Kind : int { kImage = 0, kScene = 1, kArchive = 2 };

    explicit Codec(const String& name) : Named(name) {}

    virtual int GetKind() const = 0;
    // Objects: the scene codec stores the loaded root in out; an image codec fills the image
    // that out holds. 0 on success; the base refuses with 1.
    virtual int Load(File* file, Pointer<Object>& out);
    // Archives: out receives a folder tree named like the file; password opens encrypted
    // entries. 0 on success; the base refuses with 1.
    virtual int Load(File* file, std::unique_ptr<Folder>& out, const String& password);
    virtual int Save(File* file, Object* object);
    virtual int Save(File* file, Folder* folder);

    // 0 when the text after the last "." of the file's name is one of the extensions
    // (case-sensitive); 1 when it is not; 3 for a null file.
    int Accepts(File* file) const;
    // False when memory runs out.
    bool AddExtension(const String& extension) { return extensions_.Append(extension); }
    const Array<String>& GetExtensions() const { return extensions_; }

    // The module that created this codec; the codec keeps it loaded.
    void SetModule(Module* module) { module_ = module; }
    Module* GetModule() const { return module_.Get(); }

protected:
    // Logs that this codec cannot do what was asked and returns 1.
    int Refuse(const char* what) const;

private:
    Pointer<Module> module_;
    Array<String> extensions_{3, 1};
};

} // namespace nuv
