#include "tools/parallelogram-cli/image_io.h"

#include <vips/vips.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "programs/rgba_pixels.h"
#include "tools/parallelogram-cli/png_chunk_check.h"
#include "tools/parallelogram-cli/png_writer.h"

namespace pgcli {

namespace {

// libvips reports some damage (a bad checksum, a broken compressed stream)
// only as a warning, followed by a bare error.  The last warning is kept to
// name what was wrong, and warnings are not printed.
std::atomic<int> encoderThreads{0};  // 0: one per processor

std::mutex warningLock;
std::string lastWarning;

// libvips keeps one error buffer for the whole process, and the last warning
// above is one too: when files are read and written side by side, the text
// of one call's failure must be read before another thread starts a call
// (and clears both).  So whatever calls into libvips and may fail holds this
// lock until it has the text; the shear and the tool's own PNG writer run
// outside it.
std::mutex libraryCallLock;

std::unique_lock<std::mutex> HoldLibraryCalls() { return std::unique_lock<std::mutex>(libraryCallLock); }

// Set on a thread on which libvips' tile cache failed to make a tile.  The
// cache then only warns, fills the tile with black and carries on; whether
// the failure still reaches the caller of a threaded evaluation depends on
// timing.
thread_local bool tileFailed = false;

// Lines that only say where a failure surfaced, not what it was.
bool Vague(const std::string& line) {
    return line.find("error in tile") != std::string::npos || line.find("read error") != std::string::npos;
}

GLogWriterOutput KeepWarning(GLogLevelFlags level, const GLogField* fields, gsize count, gpointer data) {
    const char* domain = nullptr;
    const char* message = nullptr;
    for (gsize i = 0; i < count; ++i) {
        if (std::strcmp(fields[i].key, "GLIB_DOMAIN") == 0) domain = static_cast<const char*>(fields[i].value);
        if (std::strcmp(fields[i].key, "MESSAGE") == 0) message = static_cast<const char*>(fields[i].value);
    }
    if (domain != nullptr && std::strcmp(domain, "VIPS") == 0 &&
        (level & (G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE)) != 0) {
        if (message != nullptr && std::strstr(message, "error in tile") != nullptr) tileFailed = true;
        std::lock_guard<std::mutex> hold(warningLock);
        if (message != nullptr && !Vague(message)) lastWarning = message;
        return G_LOG_WRITER_HANDLED;
    }
    return g_log_writer_default(level, fields, count, data);
}

std::string TakeWarning() {
    std::lock_guard<std::mutex> hold(warningLock);
    return std::exchange(lastWarning, std::string());
}

// What libvips says went wrong, in one line: the most telling line of its
// error buffer (which is cleared) or the last warning, without a trailing
// full stop.  Lines that only say where the failure surfaced ("error in
// tile 0 x 32", "libpng read error") give way to the warning that named the
// damage.
std::string LibraryProblem() {
    const std::string errors = vips_error_buffer();
    vips_error_clear();
    const std::string warning = TakeWarning();
    std::string text;
    std::size_t start = 0;
    while (start < errors.size()) {
        std::size_t end = errors.find('\n', start);
        if (end == std::string::npos) end = errors.size();
        const std::string line = errors.substr(start, end - start);
        start = end + 1;
        const bool vague = Vague(line);
        if (!line.empty() && !vague) {
            text = line;
            break;
        }
        if (!line.empty() && text.empty() && warning.empty()) text = line;
    }
    if (text.empty()) text = warning;
    while (!text.empty() && (text.back() == ' ' || text.back() == '.')) text.pop_back();
    return text.empty() ? "unknown error" : text;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

std::string DamagedMessage(const std::string& name, const std::string& problem) {
    return Quoted(name) + " is damaged or truncated: " + problem;
}

// What is wrong with the chunks of the PNG file at `path`, read once more
// from start to end; empty for a sound PNG and for anything else than a
// regular PNG file.
std::string PngFileProblem(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::string();
    struct stat status {};
    PngChunkCheck check;
    std::string problem;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        std::vector<std::uint8_t> block(std::size_t{1} << 18);
        bool first = true;
        for (;;) {
            const ssize_t got = ::read(fd, block.data(), block.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                problem = std::strerror(errno);
                break;
            }
            if (got == 0) {
                if (!first) problem = check.Problem();
                break;
            }
            if (first && !StartsWithPngSignature(block.data(), static_cast<std::size_t>(got))) break;
            first = false;
            check.Feed(block.data(), static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    return problem;
}

// Everything from `fd` up to its end.
bool ReadToEnd(int fd, std::vector<std::uint8_t>* bytes, std::string* problem) {
    std::size_t used = 0;
    for (;;) {
        if (bytes->size() - used < (std::size_t{1} << 16)) {
            bytes->resize(std::max<std::size_t>(bytes->size() * 2, std::size_t{1} << 20));
        }
        const ssize_t got = ::read(fd, bytes->data() + used, bytes->size() - used);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            *problem = std::strerror(errno);
            return false;
        }
        if (got == 0) break;
        used += static_cast<std::size_t>(got);
    }
    bytes->resize(used);
    return true;
}

// Owns one reference to a libvips object.
template <typename T>
struct Ref {
    T* object = nullptr;
    Ref() = default;
    explicit Ref(T* o) : object(o) {}
    ~Ref() {
        if (object != nullptr) g_object_unref(object);
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    T* release() { return std::exchange(object, nullptr); }
};

// Replaces `image` by the result of one step, or fails.
template <typename Step>
bool Apply(Ref<VipsImage>& image, Step step) {
    VipsImage* next = nullptr;
    if (step(image.object, &next) != 0) return false;
    g_object_unref(image.object);
    image.object = next;
    return true;
}

bool IsRgb(VipsInterpretation interpretation) {
    return interpretation == VIPS_INTERPRETATION_sRGB || interpretation == VIPS_INTERPRETATION_RGB16;
}

// The loaded image as 8-bit sRGB with alpha, still lazy.  An image already
// in RGB keeps its values and its ICC profile; one in another colour space
// with a profile of its own is converted through that profile, anything
// else through libvips' standard conversions.
bool Prepare(Ref<VipsImage>& image) {
    const VipsInterpretation interpretation = vips_image_guess_interpretation(image.object);
    const bool hasProfile = vips_image_get_typeof(image.object, VIPS_META_ICC_NAME) != 0;
    if (!IsRgb(interpretation) && hasProfile && vips_icc_present()) {
        if (!Apply(image, [](VipsImage* in, VipsImage** out) {
                return vips_icc_transform(in, out, "srgb", "embedded", TRUE, "depth", 8, nullptr);
            })) {
            return false;
        }
    } else {
        if (!Apply(image, [](VipsImage* in, VipsImage** out) {
                return vips_colourspace(in, out, VIPS_INTERPRETATION_sRGB, nullptr);
            })) {
            return false;
        }
        // A grey or CMYK profile does not describe RGB pixels.
        if (!IsRgb(interpretation)) vips_image_remove(image.object, VIPS_META_ICC_NAME);
    }
    if (vips_image_get_format(image.object) != VIPS_FORMAT_UCHAR &&
        !Apply(image, [](VipsImage* in, VipsImage** out) { return vips_cast_uchar(in, out, nullptr); })) {
        return false;
    }
    const int bands = vips_image_get_bands(image.object);
    if (bands == 3) {
        return Apply(image, [](VipsImage* in, VipsImage** out) { return vips_bandjoin_const1(in, out, 255, nullptr); });
    }
    if (bands > 4) {
        return Apply(image,
                     [](VipsImage* in, VipsImage** out) { return vips_extract_band(in, out, 0, "n", 4, nullptr); });
    }
    if (bands != 4) {
        vips_error("parallelogram", "%d colour channels after conversion to sRGB", bands);
        return false;
    }
    return true;
}

bool Finish(Ref<VipsImage>& loaded, const std::string& name, std::vector<std::uint8_t> bytes, OpenedImage* opened,
            std::string* error) {
    if (loaded.object == nullptr) {
        *error = "cannot read " + Quoted(name) + ": " + LibraryProblem();
        return false;
    }
    const bool swapped = vips_image_get_orientation_swap(loaded.object) != 0;
    const std::int64_t width = vips_image_get_width(loaded.object);
    const std::int64_t height = vips_image_get_height(loaded.object);
    if (!Prepare(loaded)) {
        *error = "cannot read " + Quoted(name) + ": " + LibraryProblem();
        return false;
    }
    opened->Reset(loaded.release(), swapped ? height : width, swapped ? width : height, std::move(bytes));
    return true;
}

struct EvalContext {
    const PercentCallback* progress;
};

void OnEval(VipsImage*, VipsProgress* progress, EvalContext* context) {
    if (*context->progress) (*context->progress)(progress->percent);
}

// Reports the evaluation of an image (and of the images made from it) for
// as long as it lives.
class ProgressWatch {
public:
    ProgressWatch(VipsImage* image, const PercentCallback& progress) : image_(image), context_{&progress} {
        if (!progress) return;
        vips_image_set_progress(image, TRUE);
        handler_ = g_signal_connect(image, "eval", G_CALLBACK(OnEval), &context_);
    }
    ~ProgressWatch() {
        if (handler_ != 0) g_signal_handler_disconnect(image_, handler_);
    }
    ProgressWatch(const ProgressWatch&) = delete;
    ProgressWatch& operator=(const ProgressWatch&) = delete;

private:
    VipsImage* image_;
    EvalContext context_;
    gulong handler_ = 0;
};

// Metadata the output takes over from the input: colour profile, EXIF (with
// its parsed fields, from which libvips rebuilds the block), XMP, IPTC and
// text comments.  Loader details such as a palette's bit depth are left
// behind: they would change how the output is encoded.
bool KeptField(const char* name) {
    static const char* const kExact[] = {VIPS_META_ICC_NAME, VIPS_META_EXIF_NAME, VIPS_META_XMP_NAME,
                                         VIPS_META_IPTC_NAME, VIPS_META_RESOLUTION_UNIT};
    for (const char* exact : kExact) {
        if (std::strcmp(name, exact) == 0) return true;
    }
    return std::strncmp(name, "exif-", 5) == 0 || std::strncmp(name, "png-comment-", 12) == 0;
}

void* CopyField(VipsImage*, const char* name, GValue* value, void* target) {
    if (KeptField(name)) vips_image_set(static_cast<VipsImage*>(target), name, value);
    return nullptr;
}

}  // namespace

bool StartImageLibrary(std::string* error) {
    static std::once_flag once;
    static bool started = false;
    static std::string problem;
    std::call_once(once, [] {
        if (vips_init("parallelogram") != 0) {
            problem = LibraryProblem();
            return;
        }
        // Every image is read and written once: caching operations would
        // only hold on to memory.
        vips_cache_set_max(0);
        g_log_set_writer_func(KeepWarning, nullptr, nullptr);
        started = true;
    });
    if (!started && error != nullptr) *error = "cannot start libvips: " + problem;
    return started;
}

void LimitLibraryThreads(int threads) {
    encoderThreads = threads;
    if (StartImageLibrary(nullptr)) vips_concurrency_set(threads);
}

OpenedImage::~OpenedImage() {
    if (prepared_ != nullptr) g_object_unref(prepared_);
}

OpenedImage::OpenedImage(OpenedImage&& other) noexcept { *this = std::move(other); }

OpenedImage& OpenedImage::operator=(OpenedImage&& other) noexcept {
    if (this != &other) {
        if (prepared_ != nullptr) g_object_unref(prepared_);
        prepared_ = std::exchange(other.prepared_, nullptr);
        width_ = other.width_;
        height_ = other.height_;
        bytes_ = std::move(other.bytes_);
    }
    return *this;
}

void OpenedImage::Reset(VipsImage* prepared, std::int64_t width, std::int64_t height, std::vector<std::uint8_t> bytes) {
    if (prepared_ != nullptr) g_object_unref(prepared_);
    prepared_ = prepared;
    width_ = width;
    height_ = height;
    bytes_ = std::move(bytes);
}

namespace {

bool OpenHeldBytes(std::vector<std::uint8_t> bytes, const std::string& name, OpenedImage* opened, std::string* error) {
    if (!StartImageLibrary(error)) return false;
    const auto hold = HoldLibraryCalls();
    TakeWarning();
    Ref<VipsImage> loaded(vips_image_new_from_buffer(bytes.data(), bytes.size(), "", "fail_on", VIPS_FAIL_ON_ERROR,
                                                     "access", VIPS_ACCESS_SEQUENTIAL, nullptr));
    if (loaded.object != nullptr && StartsWithPngSignature(bytes.data(), bytes.size())) {
        const std::string problem = PngChunkProblem(bytes.data(), bytes.size());
        if (!problem.empty()) {
            *error = DamagedMessage(name, problem);
            return false;
        }
    }
    return Finish(loaded, name, std::move(bytes), opened, error);
}

}  // namespace

// A PNG's chunks are checked here, whole, before anything is decoded: the
// decoder only warns about a damaged ancillary chunk and may stop reading
// once it has every row, before the chunks at the end of the stream.
bool OpenImage(const std::string& path, OpenedImage* opened, std::string* error) {
    if (!StartImageLibrary(error)) return false;
    if (path == "-") {
        // Read whole, so that it can be checked before decoding.
        std::vector<std::uint8_t> bytes;
        std::string problem;
        if (!ReadToEnd(0, &bytes, &problem)) {
            *error = "cannot read standard input: " + problem;
            return false;
        }
        return OpenHeldBytes(std::move(bytes), "standard input", opened, error);
    }
    const auto hold = HoldLibraryCalls();
    TakeWarning();
    Ref<VipsImage> loaded(vips_image_new_from_file(path.c_str(), "fail_on", VIPS_FAIL_ON_ERROR, "access",
                                                   VIPS_ACCESS_SEQUENTIAL, nullptr));
    if (loaded.object != nullptr) {
        const std::string problem = PngFileProblem(path);
        if (!problem.empty()) {
            *error = DamagedMessage(path, problem);
            return false;
        }
    }
    return Finish(loaded, path, {}, opened, error);
}

bool OpenImageBytes(const void* data, std::size_t size, const std::string& name, OpenedImage* opened,
                    std::string* error) {
    return OpenHeldBytes(std::vector<std::uint8_t>(static_cast<const std::uint8_t*>(data),
                                                   static_cast<const std::uint8_t*>(data) + size),
                         name, opened, error);
}

namespace {

// Evaluates `image` into `pixels` (width x height x 4 bytes) on the calling
// thread, strip by strip, so that a tile the loader failed to make is always
// noticed (see tileFailed).  Loaders decode in order on one thread anyway.
bool PullPixels(VipsImage* image, void* pixels, const PercentCallback& progress) {
    const int width = vips_image_get_width(image);
    const int height = vips_image_get_height(image);
    Ref<VipsImage> memory(vips_image_new_from_memory(
        pixels, static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * sizeof(PixelBGRA), width, height,
        4, VIPS_FORMAT_UCHAR));
    if (memory.object == nullptr) return false;
    Ref<VipsRegion> from(vips_region_new(image));
    Ref<VipsRegion> to(vips_region_new(memory.object));
    const VipsRect whole{0, 0, width, height};
    if (from.object == nullptr || to.object == nullptr || vips_region_image(to.object, &whole) != 0) return false;
    int tileWidth = 0, tileHeight = 0, strip = 0;
    vips_get_tile_size(image, &tileWidth, &tileHeight, &strip);
    strip = std::max(strip, 1);
    tileFailed = false;
    for (int top = 0; top < height; top += strip) {
        const VipsRect rect{0, top, width, std::min(strip, height - top)};
        if (vips_region_prepare_to(from.object, to.object, &rect, 0, top) != 0 || tileFailed) return false;
        if (progress) progress(static_cast<int>(std::int64_t{rect.top + rect.height} * 100 / height));
    }
    return true;
}

}  // namespace

bool DecodeImage(const OpenedImage& opened, const std::string& name, const PercentCallback& progress, Image* image,
                 std::string* error) {
    auto fail = [&] {
        *error = DamagedMessage(name, LibraryProblem());
        return false;
    };
    const auto hold = HoldLibraryCalls();
    TakeWarning();
    VipsImage* prepared = opened.prepared();
    const std::int32_t width = vips_image_get_width(prepared);
    const std::int32_t height = vips_image_get_height(prepared);
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const int orientation = vips_image_get_orientation(prepared);
    if (orientation <= 1 || orientation > 8) {
        // Decoded straight into the image's own pixels, as RGBA.
        image->pixels.resize(count);
        if (!PullPixels(prepared, image->pixels.data(), progress)) {
            image->pixels.clear();
            return fail();
        }
        image->width = width;
        image->height = height;
    } else {
        // Turning needs the whole image: it is decoded first, then turned.
        std::vector<PixelBGRA> stored(count);
        if (!PullPixels(prepared, stored.data(), progress)) return fail();
        Ref<VipsImage> pipeline(
            vips_image_new_from_memory(stored.data(), count * sizeof(PixelBGRA), width, height, 4, VIPS_FORMAT_UCHAR));
        if (pipeline.object == nullptr) return fail();
        vips_image_set_int(pipeline.object, VIPS_META_ORIENTATION, orientation);
        if (!Apply(pipeline, [](VipsImage* in, VipsImage** out) { return vips_autorot(in, out, nullptr); })) {
            return fail();
        }
        const std::int32_t turnedWidth = vips_image_get_width(pipeline.object);
        const std::int32_t turnedHeight = vips_image_get_height(pipeline.object);
        image->pixels.resize(count);
        Ref<VipsImage> target(vips_image_new_from_memory(image->pixels.data(), count * sizeof(PixelBGRA), turnedWidth,
                                                         turnedHeight, 4, VIPS_FORMAT_UCHAR));
        if (target.object == nullptr || vips_image_write(pipeline.object, target.object) != 0) {
            image->pixels.clear();
            return fail();
        }
        image->width = turnedWidth;
        image->height = turnedHeight;
    }
    // Into the engine's order, in place.
    programs::SwapRedAndBlue(image->pixels.data(), count);
    return true;
}

bool LoadImageBytes(const void* data, std::size_t size, std::int64_t maxPixels, Image* image, std::string* error) {
    OpenedImage opened;
    if (!OpenImageBytes(data, size, "image", &opened, error)) return false;
    if (opened.width() * opened.height() > maxPixels) {
        *error = "the image has " + std::to_string(opened.width()) + "x" + std::to_string(opened.height()) +
                 " pixels, more than the limit of " + std::to_string(maxPixels);
        return false;
    }
    return DecodeImage(opened, "image", PercentCallback(), image, error);
}

bool CanWriteFormat(const std::string& suffix) {
    if (!StartImageLibrary(nullptr) || suffix.empty()) return false;
    const auto hold = HoldLibraryCalls();
    const char* saver = vips_foreign_find_save_target(suffix.c_str());
    vips_error_clear();
    return saver != nullptr;
}

namespace {

bool IsPng(const std::string& suffix) {
    return suffix.size() == 4 && suffix[0] == '.' && (suffix[1] | 0x20) == 'p' && (suffix[2] | 0x20) == 'n' &&
           (suffix[3] | 0x20) == 'g';
}

bool WriteAll(int fd, const void* data, std::size_t size, std::string* error) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            *error = std::strerror(written < 0 ? errno : EIO);
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// The metadata chunks libvips would write for `tagged`: it encodes a single
// pixel carrying the same metadata.
bool MetadataChunks(VipsImage* tagged, std::string* chunks) {
    VipsImage* pixel = nullptr;
    if (vips_crop(tagged, &pixel, 0, 0, 1, 1, nullptr) != 0) return false;
    Ref<VipsImage> owned(pixel);
    void* buffer = nullptr;
    std::size_t size = 0;
    if (vips_image_write_to_buffer(pixel, ".png[compression=1,bitdepth=8,palette=false]", &buffer, &size, nullptr) !=
        0) {
        return false;
    }
    *chunks = AncillaryChunks(buffer, size);
    g_free(buffer);
    return true;
}

}  // namespace

bool EncodeImage(Image image, const OpenedImage* metadataFrom, const std::string& suffix, int fd,
                 const PercentCallback& progress, std::string* error) {
    if (!StartImageLibrary(error)) return false;
    const std::size_t count = image.pixels.size();
    programs::SwapRedAndBlue(image.pixels.data(), count);  // to RGBA, in place
    const auto* rgba = reinterpret_cast<const std::uint8_t*>(image.pixels.data());

    auto hold = HoldLibraryCalls();
    Ref<VipsImage> memory(
        vips_image_new_from_memory(rgba, count * sizeof(PixelBGRA), image.width, image.height, 4, VIPS_FORMAT_UCHAR));
    VipsImage* from = metadataFrom != nullptr ? metadataFrom->prepared() : nullptr;
    VipsImage* tagged = nullptr;
    if (memory.object == nullptr || vips_copy(memory.object, &tagged, "interpretation", VIPS_INTERPRETATION_sRGB,
                                              "xres", from != nullptr ? vips_image_get_xres(from) : 1.0, "yres",
                                              from != nullptr ? vips_image_get_yres(from) : 1.0, nullptr) != 0) {
        *error = "cannot encode: " + LibraryProblem();
        return false;
    }
    Ref<VipsImage> output(tagged);
    if (from != nullptr) {
        vips_image_map(from, CopyField, output.object);
        // The pixels are already turned upright.
        if (vips_image_get_typeof(output.object, VIPS_META_ORIENTATION) != 0 ||
            vips_image_get_typeof(from, VIPS_META_ORIENTATION) != 0) {
            vips_image_set_int(output.object, VIPS_META_ORIENTATION, 1);
        }
    }

    if (IsPng(suffix)) {
        // libvips writes the metadata, the PNG writer the pixels on every core.
        PngParts parts;
        if (!MetadataChunks(output.object, &parts.extraChunks)) {
            *error = LibraryProblem();
            return false;
        }
        const int threads = encoderThreads.load();
        parts.threads = threads > 0 ? threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        parts.progress = progress;
        hold.unlock();
        return WriteRgbaPng(
            rgba, image.width, image.height, parts,
            [&](const void* data, std::size_t size) { return WriteAll(fd, data, size, error); }, error);
    }

    const ProgressWatch watch(output.object, progress);
    Ref<VipsTarget> target(vips_target_new_to_descriptor(fd));
    if (target.object == nullptr ||
        vips_image_write_to_target(output.object, suffix.c_str(), target.object, nullptr) != 0) {
        *error = LibraryProblem();
        return false;
    }
    return true;
}

}  // namespace pgcli
