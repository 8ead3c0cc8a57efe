// The image file writer on images of any small size and depth with any pixel bytes, in every
// format number (and some that are none), written to a temporary folder.
//
// Input: width (1 byte, 1..64), height (1 byte, 1..64), depth (1 byte: 8, 16, 24, 32, 48, 64 by
// its value mod 6), format (1 byte, mod 9: 0-6 formats, 7 and 8 none), then the pixel memory
// (zero where the input ends). A known format writes a file of the size it must have (BMP and
// raw exactly); an unknown one writes nothing.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "imaging/DibImage.h"
#include "imaging/ImageFileWriter.h"

namespace {

using namespace velcor;
using fuzz::Fail;

constexpr int kDepths[] = {8, 16, 24, 32, 48, 64};

struct Folder {
    std::string path;
    Folder() {
        char pattern[] = "/tmp/velcor-fuzz-image-files-XXXXXX";
        if (mkdtemp(pattern) == nullptr) Fail();
        path = pattern;
    }
    ~Folder() { ::rmdir(path.c_str()); }
};

long long FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Folder folder;
    fuzz::FuzzInput input(data, size);
    const int width = input.Byte() % 64 + 1;
    const int height = input.Byte() % 64 + 1;
    const int bits = kDepths[input.Byte() % 6];
    const int format = input.Byte() % 9;

    DibImage image;
    if (!image.Create(width, height, bits)) Fail();
    const std::vector<uint8_t> pixels = input.Bytes(image.ByteSize());
    std::copy(pixels.begin(), pixels.end(), image.Pixels());

    const std::string path = folder.path + "/image";
    const int saved = SaveImageFile(path.c_str(), image, format);
    const long long written = FileSize(path);
    ::unlink(path.c_str());
    if (format > kFileTiff) {
        if (saved != 0 || written != -1) Fail();
        return 0;
    }
    if (saved != 1 || written <= 0) Fail();
    const auto pixelBytes = static_cast<long long>(image.ByteSize());
    if (format == kFileRaw && written != pixelBytes) Fail();
    if (format == kFileBmp && written != (bits == 8 ? 1078 : 54) + pixelBytes) Fail();
    return 0;
}
