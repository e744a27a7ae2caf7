#include "ImageCommand.h"

#include "core/Log.h"
#include "core/MessageOutput.h"
#include "core/Pointer.h"
#include "core/Status.h"
#include "media/image/BmpImageCodec.h"
#include "media/image/CubeImageCodec.h"
#include "media/image/Image.h"
#include "media/image/TgaImageCodec.h"
#include "media/image/VolumeImage.h"
#ifdef NUV_HAVE_JPEG
#include "media/image/JpgImageCodec.h"
#endif

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

namespace nuv {

namespace {

namespace fs = std::filesystem;

// The codecs' warnings explain why a file was refused; they go to the error stream.
class StreamOutput : public MessageOutput {
public:
    explicit StreamOutput(std::ostream& err) : MessageOutput("nuvtool image"), err_(err) {}
    void Output(int level, const String& text) override {
        if (level >= kLogWarning) err_ << "nuvtool image: " << text.GetText() << "\n";
    }

private:
    std::ostream& err_;
};

struct LogToStream {
    explicit LogToStream(std::ostream& err) : output(new StreamOutput(err)) { RegisterMessageOutput(output.Get()); }
    ~LogToStream() { UnregisterMessageOutput(output.Get()); }
    Pointer<StreamOutput> output;
};

struct Codecs {
    BmpImageCodec bmp;
    TgaImageCodec tga;
    CubeImageCodec cube;
#ifdef NUV_HAVE_JPEG
    JpgImageCodec jpg;
#endif
    // The codec whose extensions hold the text after the last "." of path's name.
    ImageCodec* ForPath(const std::string& path) {
        const String extension = String(fs::path(path).filename().string().c_str()).GetExtension();
#ifdef NUV_HAVE_JPEG
        ImageCodec* all[] = {&bmp, &tga, &cube, &jpg};
#else
        ImageCodec* all[] = {&bmp, &tga, &cube};
#endif
        for (ImageCodec* codec : all)
            for (const String& accepted : codec->GetExtensions())
                if (accepted == extension) return codec;
        return nullptr;
    }
};

const char* FormatName(int format) {
    switch (format) {
    case Image::kRgb: return "RGB";
    case Image::kRgba: return "RGBA";
    case Image::kOneChannel: return "one channel";
    case Image::kWide: return "wide";
    default: return "unknown";
    }
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    const uintmax_t size = fs::file_size(path, ec);
    if (ec || size > uintmax_t(INT32_MAX)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.resize(size_t(size));
    return size == 0 || bool(in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size)));
}

// Decodes path into image (a volume for cube maps). Returns an exit code.
int Decode(Codecs& codecs, const std::string& path, Pointer<Image>& image, std::ostream& err) {
    ImageCodec* codec = codecs.ForPath(path);
    if (!codec) {
        err << "nuvtool image: no image codec for '" << path << "'\n";
        return ImageCommand::kExitUsage;
    }
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) {
        err << "nuvtool image: cannot read '" << path << "'\n";
        return ImageCommand::kExitUsage;
    }
    image = codec == &codecs.cube ? static_cast<Image*>(new VolumeImage) : new Image;
    if (codec->Decode(bytes.data(), int(bytes.size()), *image, path.c_str()) != kStatusOk) {
        err << "nuvtool image: cannot decode '" << path << "'\n";
        return ImageCommand::kExitFailed;
    }
    return ImageCommand::kExitOk;
}

int Info(const std::string& path, std::ostream& out, std::ostream& err) {
    Codecs codecs;
    Pointer<Image> image;
    if (const int status = Decode(codecs, path, image, err); status != ImageCommand::kExitOk) return status;
    out << path << ": " << codecs.ForPath(path)->GetName().GetText() << " " << image->GetWidth() << "x"
        << image->GetHeight();
    if (const auto* volume = DynamicCast<VolumeImage>(image.Get())) out << "x" << volume->GetDepth();
    out << ", format " << image->GetFormat() << " (" << FormatName(image->GetFormat()) << "), "
        << image->GetDataSize() << " bytes of pixels\n";
    return ImageCommand::kExitOk;
}

// A copy of image in format, for outputs that cannot hold the input's format: alpha is dropped,
// grey is spread over three channels, colour becomes its luminance.
Pointer<Image> ConvertFormat(const Image& image, int format) {
    Pointer<Image> copy = new Image(image.GetName(), image.GetWidth(), image.GetHeight(), format);
    if (!copy->HasPixels()) return nullptr;
    const int from = Image::GetBytesPerPixel(image.GetFormat());
    const int to = Image::GetBytesPerPixel(format);
    const int64_t count = int64_t(image.GetWidth()) * image.GetHeight();
    const uint8_t* src = image.GetPixels();
    uint8_t* dst = copy->GetPixels();
    for (int64_t i = 0; i < count; ++i, src += from, dst += to) {
        uint8_t rgba[4] = {src[0], src[0], src[0], 255};
        if (from >= 3) std::memcpy(rgba, src, 3);
        if (from == 4) rgba[3] = src[3];
        if (to == 1) dst[0] = from == 1 ? src[0] : uint8_t((rgba[0] * 77 + rgba[1] * 150 + rgba[2] * 29) >> 8);
        else std::memcpy(dst, rgba, size_t(to));
    }
    return copy;
}

int Convert(const std::string& input, const std::string& output, std::ostream& out, std::ostream& err) {
    Codecs codecs;
    ImageCodec* target = codecs.ForPath(output);
    if (!target) {
        err << "nuvtool image: no image codec for '" << output << "'\n";
        return ImageCommand::kExitUsage;
    }
    Pointer<Image> image;
    if (const int status = Decode(codecs, input, image, err); status != ImageCommand::kExitOk) return status;
    std::vector<uint8_t> bytes;
    int status = target->Encode(*image, bytes);
    if (status == kStatusNotFound && !DynamicCast<VolumeImage>(image.Get())) {
        // The output format cannot hold these pixels as they are: colour without alpha can be
        // written by every codec.
        Pointer<Image> converted = ConvertFormat(*image, Image::kRgb);
        if (converted) status = target->Encode(*converted, bytes);
    }
    if (status != kStatusOk) {
        err << "nuvtool image: cannot encode '" << output << "' with " << target->GetName().GetText() << "\n";
        return ImageCommand::kExitFailed;
    }
    std::ofstream file(output, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    file.close();
    if (!file) {
        err << "nuvtool image: cannot write '" << output << "'\n";
        return ImageCommand::kExitFailed;
    }
    out << input << " -> " << output << " (" << bytes.size() << " bytes)\n";
    return ImageCommand::kExitOk;
}

} // namespace

void ImageCommand::PrintHelp(std::ostream& out) {
    out << "usage: nuvtool image info FILE\n"
           "       nuvtool image convert IN OUT\n"
           "\n"
           "info     decodes FILE and shows its codec, size and pixel format\n"
           "convert  decodes IN and writes it as OUT; both formats follow the file extensions\n"
           "         (bmp, tga, jpg/jpeg, cube); pixels the output cannot hold as they are\n"
           "         are written as RGB (alpha dropped, grey spread over three channels)\n";
}

int ImageCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        PrintHelp(err);
        return kExitUsage;
    }
    const std::string& verb = args[0];
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h" || arg == "help") {
            PrintHelp(out);
            return kExitOk;
        }
    }
    LogToStream log(err);
    if (verb == "info" && args.size() == 2) return Info(args[1], out, err);
    if (verb == "convert" && args.size() == 3) return Convert(args[1], args[2], out, err);
    PrintHelp(err);
    return kExitUsage;
}

} // namespace nuv
