// Mask files: the header decides, and a file of any other length than a whole one is refused
// with no plane changed. The input is the start of a file; when its header is right, it is
// also made whole (the input's body repeated up to the full length), and a cut of that whole
// file at a length the input chooses must be refused. Loading a whole file (7.8 MB, with the
// maps rebuilt) costs a tenth of a second under the sanitizers, so it is done only for bodies
// of at most four bytes that start with 'W': the file must then load with its planes as
// stored and save back byte for byte, while most runs go to the header and the cuts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzInput.h"
#include "imaging/PixelMask.h"

namespace {

using velcor::MaskFileCheck;
using velcor::PixelMask;

// One mask for the whole run: its planes are 20 MB.
PixelMask& Mask() {
    static PixelMask mask;
    static const bool ready = mask.Create();
    if (!ready) velcor::fuzz::Fail();
    return mask;
}

// What the mask holds since its last load (all zero at first), header included.
std::vector<uint8_t>& Loaded() {
    static std::vector<uint8_t> file = Mask().SaveFile();
    return file;
}

// Samples of the reference planes against the file they were loaded from.
void ExpectPlanesFrom(const std::vector<uint8_t>& file) {
    const PixelMask& mask = Mask();
    size_t at = PixelMask::kHeaderBytes;
    for (velcor::MaskPlane plane : {velcor::MaskPlane::kDark8, velcor::MaskPlane::kBright8,
                                    velcor::MaskPlane::kDark16, velcor::MaskPlane::kBright16}) {
        const velcor::DibImage& image = mask.Plane(plane);
        for (size_t i = 0; i < image.ByteSize(); i += 4093) {
            if (image.Pixels()[i] != file[at + i]) velcor::fuzz::Fail();
        }
        if (image.Pixels()[image.ByteSize() - 1] != file[at + image.ByteSize() - 1]) {
            velcor::fuzz::Fail();
        }
        at += image.ByteSize();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using velcor::fuzz::Fail;
    PixelMask& mask = Mask();
    std::vector<uint8_t>& loaded = Loaded();

    const MaskFileCheck check = PixelMask::CheckFile(data, size);
    if (size < PixelMask::kHeaderBytes && check != MaskFileCheck::kBadHeader) Fail();
    if (check == MaskFileCheck::kOk) {
        if (!mask.LoadFile(data, size)) Fail();
        loaded.assign(data, data + size);
    } else if (mask.LoadFile(data, size)) {
        Fail();
    }
    ExpectPlanesFrom(loaded);
    if (check == MaskFileCheck::kBadHeader) return 0;

    // The header is right: a cut of the whole file, at a length the input chooses, is refused
    // and changes nothing. One buffer of a whole file's size serves every run.
    static std::vector<uint8_t> whole(PixelMask::kFileBytes);
    std::memcpy(whole.data(), data, PixelMask::kHeaderBytes);
    const size_t body = std::min(size, whole.size()) - PixelMask::kHeaderBytes;
    velcor::fuzz::FuzzInput input(data + PixelMask::kHeaderBytes, body);
    const size_t cut = input.Le32() % PixelMask::kFileBytes;
    if (PixelMask::CheckFile(whole.data(), cut) == MaskFileCheck::kOk) Fail();
    if (mask.LoadFile(whole.data(), cut)) Fail();
    ExpectPlanesFrom(loaded);

    // The same start made whole, its body repeated up to the full length.
    if (body == 0 || body > 4 || data[PixelMask::kHeaderBytes] != 'W') return 0;
    for (size_t at = PixelMask::kHeaderBytes; at < whole.size(); at += body) {
        std::memcpy(whole.data() + at, data + PixelMask::kHeaderBytes,
                    std::min(body, whole.size() - at));
    }
    if (!mask.LoadFile(whole.data(), whole.size())) Fail();
    loaded = whole;
    ExpectPlanesFrom(loaded);
    if (mask.SaveFile() != whole) Fail();
    return 0;
}
